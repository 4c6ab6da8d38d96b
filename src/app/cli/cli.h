#pragma once
// Shared plumbing of trovalis-cli: argument handling, file reading, output.

#include "platform/core/result.h"

#include <QString>
#include <QStringList>

struct SavedCheck;
namespace report {
struct CheckReportModel;
}

namespace cli {

constexpr int kOk = 0;
constexpr int kBadInput = 1;
constexpr int kUsage = 2;

// A subcommand ends a failure with one of these: they print
// "trovalis-cli COMMAND: reason" on stderr and give the exit status.
int usageError(const QString& reason);     // kUsage
int inputError(const QString& reason);     // kBadInput
void setCommandName(const QString& name);  // the COMMAND of those lines

// Reads a UTF-8 file (a leading BOM is skipped).
Result<QString> readUtf8File(const QString& path);
// Reads a paper: UTF-8, line breaks made CR LF as the editor reports them.
Result<QString> readPaper(const QString& path);
Result<QByteArray> readBytes(const QString& path);
// Readies the heap for a command that will hold about `bytes` of texts and
// tables: one heap for every thread, grown once, in large pages where the
// system offers them, and freed memory kept in it. A fresh page costs a
// fault, which in a virtual machine can cost 15 µs: a million-character
// compare touched 5,000 of them, more time than its search. The first
// `surelyUsed` bytes are made present at once.
void reserveHeap(qint64 bytes, qint64 surelyUsed = 0);
// Reads a kept check (the file the program keeps to continue a check); the
// reason names the file and says that it is not a usable saved check.
Result<SavedCheck> readCheck(const QString& path);

void print(const QString& text);           // UTF-8 to stdout, then LF
void printRaw(const QString& text);        // UTF-8 to stdout, nothing added
void printErr(const QString& text);        // UTF-8 to stderr, then LF
void printBytes(const QByteArray& bytes);  // to stdout as they are

// True when args holds --help; prints `help` then.
bool wantsHelp(const QStringList& args, const QString& help);
// Positional arguments after removing the named flags (flag -> takes value?).
Result<QStringList> positional(const QStringList& args, const QStringList& flagsWithValue,
                               const QStringList& plainFlags);
// The positional arguments, which must be exactly `names` (e.g. {"ARCHIVE", "DEST"});
// fails naming them otherwise.
Result<QStringList> expectArguments(const QStringList& args, const QStringList& names,
                                    const QStringList& flagsWithValue = {},
                                    const QStringList& plainFlags = {});
QString flagValue(const QStringList& args, const QString& flag);  // empty if absent
bool hasFlag(const QStringList& args, const QString& flag);
// A thesaurus (GBK, as ciku.txt) as the rewrite reads it: its lines, or why not.
Result<QStringList> readThesaurusLines(const QString& path);

using Command = int (*)(const QStringList& args);

// The PDF part (app/pdfpart), loaded from the program's folder the first time
// a PDF is read or written, so that every other command starts with QtCore
// alone. usePdfPart() makes documents read PDFs through it.
void usePdfPart();
// True for a command line that writes a PDF ("report CHECK OUT.pdf"; args
// without the program's name): it runs inside the part's QGuiApplication.
bool writesPdf(const QStringList& args);
// Runs body(context) inside the part's QGuiApplication; without the part, says
// why on stderr and gives kBadInput.
int runInGuiApplication(int& argc, char** argv, int (*body)(void* context), void* context);
Result<void> writeReportPdf(const report::CheckReportModel& model, const QString& path);

// Subcommands, one file per subsystem.
int segment(const QStringList& args);
int recut(const QStringList& args);
int precheck(const QStringList& args);
int query(const QStringList& args);
int score(const QStringList& args);
int stats(const QStringList& args);
int verificationPage(const QStringList& args);
int compare(const QStringList& args);
int rewrite(const QStringList& args);
int thesaurusPage(const QStringList& args);
int doc2text(const QStringList& args);
int library(const QStringList& args);
int manifest(const QStringList& args);
int unzip(const QStringList& args);
int verify(const QStringList& args);
int report(const QStringList& args);
int mark(const QStringList& args);

}  // namespace cli
