#pragma once
// Renderings of a frame for the message window txtRec.

#include <QByteArray>
#include <QString>

// Every byte in upper-case hex without leading zeros, each followed by a blank.
QString hexBytes(const QByteArray& bytes);

// The readable rendering: "]" -> <ACK>, "[" -> <NAK>, other bytes from 0x30 as
// their Windows-1251 character, CR -> <CR>, LF -> <LF>, other bytes -> "@".
QString CleanStr(const QByteArray& bytes);

// The whole text out_win puts into txtRec: hex line, CR LF, CR LF, rendering.
QString outWinText(const QByteArray& bytes);
