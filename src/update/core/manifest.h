#pragma once
// The update manifest "UpdateInfor.inf" and the rules the update client
// applies to it: line reading in the narrow code page, the 21-slot table,
// the version comparison, archive names and acceptable file names.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <climits>
#include <functional>

namespace update {

inline constexpr int kTableSlots = 21;        // slots 0 to 20
inline constexpr int kMaxAnswerLength = 800;  // a server text must be shorter
inline constexpr int kFirstFileSlot = 2;

inline const QString kManifestFile = QStringLiteral("UpdateInfor.inf");
inline const QString kLogFile = QStringLiteral("Uplog.inf");

using UpdateTable = std::array<QString, kTableSlots>;
using EventPump = std::function<void()>;

// Lines of GBK text as a text-mode line reader returns them: CR LF or a bare
// CR ends a line, a bare LF does not. A final line without an end counts;
// an empty text has no lines. At most `maxLines` are returned.
QStringList readTextLines(const QByteArray& bytes, int maxLines = INT_MAX);

// The table of a manifest file: missing file -> all slots empty; more than
// 21 lines -> the first 21. `pump` runs before each line is stored.
UpdateTable readManifestFile(const QString& path, const EventPump& pump = {});
// getUpdateInfor: the table of the program folder's copy of the manifest.
UpdateTable getUpdateInfor(const QString& programFolder, const EventPump& pump = {});

// A server answer is usable when it is not empty and shorter than 800 characters.
bool acceptableAnswer(const QString& text);

// The server version (slot 0) read as a number is strictly greater than the build number.
bool isNewerVersion(const QString& serverVersionText);

// The file count N of slot 1, bounded to what a 16-bit slot index can walk.
int fileCount(const UpdateTable& table);

// A name is an archive when the text after its first "." is exactly "xls"
// (a name without "." is compared whole).
bool isArchiveName(const QString& name);

// A manifest name must name a plain file directly in the program folder:
// not empty, no separator, not "." or "..", no drive letter, no control character.
bool isSafeFileName(const QString& name);

// The download run's texts: "文件更新(3/5)"; lblScale's share of files done,
// the fraction rounded to two places before it becomes a percentage ("33%");
// Label1's share of timer ticks, the percentage rounded to two places ("0.2%").
QString fileProgressText(int number, int count);
QString filesDoneText(int done, int count);
QString ticksText(int ticks, int total);

}  // namespace update
