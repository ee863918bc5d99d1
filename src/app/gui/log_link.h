#pragma once
// "Журнал работы": a link on the main window's port rows that opens the folder
// of the run's work log in the system's file manager.

#include <QString>
#include <functional>

class QBoxLayout;
class QLabel;

// Adds the link (objectName "openLogFolder") at the end of `row`. logPath
// gives the log file's path when clicked (empty: no log could be created,
// and the link does nothing); its tooltip shows the path.
QLabel* addLogFolderLink(QBoxLayout* row, std::function<QString()> logPath);
