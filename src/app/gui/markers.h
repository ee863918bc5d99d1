#pragma once
// The marker routines: every control of a window carries a numeric marker in
// its dynamic property "tag"; these routines enable, disable, show and hide
// the controls by marker. An empty or non-numeric tag reads as 0.

class QWidget;

int markerOf(const QWidget* w);

void CloseAllTags(QWidget* window);
void SwitchTags(QWidget* window);
void swtag130(QWidget* window);
void swtag131(QWidget* window);
void swtag134(QWidget* window);
void swtag163(QWidget* window);
void swtag170(QWidget* window);
void swtag171(QWidget* window);
void swtag172(QWidget* window);
void swtag176(QWidget* window);

// Start-up: every control whose tag is empty gets the tag "2".
void fillEmptyTags(QWidget* window);
