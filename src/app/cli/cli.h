#pragma once
// Shared plumbing of trovalis-cli: argument handling, file reading, output.

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace cli {

constexpr int kOk = 0;
constexpr int kBadInput = 1;
constexpr int kUsage = 2;

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads a UTF-8 file (a leading BOM is skipped); throws InputError.
QString readUtf8File(const QString& path);
// Reads a paper: UTF-8, line breaks made CR LF as the editor reports them.
QString readPaper(const QString& path);
QByteArray readBytes(const QString& path);

void print(const QString& text);           // UTF-8 to stdout, then LF
void printRaw(const QString& text);        // UTF-8 to stdout, nothing added
void printErr(const QString& text);        // UTF-8 to stderr, then LF
void printBytes(const QByteArray& bytes);  // to stdout as they are

// True when args holds --help; prints `help` then.
bool wantsHelp(const QStringList& args, const QString& help);
// Positional arguments after removing the named flags (flag -> takes value?).
QStringList positional(QStringList args, const QStringList& flagsWithValue, const QStringList& plainFlags);
// The positional arguments, which must be exactly `names` (e.g. {"ARCHIVE", "DEST"});
// throws UsageError naming them otherwise.
QStringList expectArguments(const QStringList& args, const QStringList& names,
                            const QStringList& flagsWithValue = {}, const QStringList& plainFlags = {});
QString flagValue(const QStringList& args, const QString& flag);  // empty if absent
bool hasFlag(const QStringList& args, const QString& flag);

using Command = int (*)(const QStringList& args);

// Subcommands, one file per subsystem.
int segment(const QStringList& args);
int query(const QStringList& args);
int score(const QStringList& args);
int stats(const QStringList& args);
int verificationPage(const QStringList& args);
int compare(const QStringList& args);
int rewrite(const QStringList& args);
int thesaurusPage(const QStringList& args);
int doc2text(const QStringList& args);
int manifest(const QStringList& args);
int unzip(const QStringList& args);
int verify(const QStringList& args);

}  // namespace cli
