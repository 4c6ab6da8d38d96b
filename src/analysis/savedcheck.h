#pragma once
// A check kept on disk after every scored page, so that a check stopped by
// closing the program goes on later, and a finished one can be reported.

#include "analysis/comparisonsession.h"
#include "analysis/pieceresult.h"
#include "platform/core/result.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

struct SavedCheck {
    QString analysedText;       // normalised text of the analysis
    QStringList sentences;      // the analysed pieces
    QList<PieceResult> pieces;  // one per sentence
    QStringList resultBlocks;   // the session's slots, as they stand
    QStringList resultTitles;
    qint32 nextIndex = 0;
    qint32 lastIndex = 0;
    qint32 pageCount = 1;
    double similaritySum = 0;
    QString label2;         // Label2's text after the last scored page
    QString engine;         // "baidu", "wenku" or "zhiwang"
    bool finished = false;  // the run reached its end ("本次对比结束！")
    QDateTime savedAt;
    // The editor's text when the check was kept (CR LF line breaks): the
    // report finds the reference list by its lines, which the analysed text
    // has lost. Empty in files written before it was kept.
    QString paperText;
    // The results carry their summaries; false for files of the first format.
    bool summariesKept = true;

    qsizetype checkedCount() const;
};

namespace savedcheck {

// The file for a paper's analysed text, in `folder`, named after a hash of the text.
QString pathFor(const QString& folder, const QString& analysedText);

// Atomic: a failed write leaves the earlier file whole.
Result<void> write(const SavedCheck& check, const QString& path);

// Fails on a file cut short, garbage, another format version, or one whose
// contents do not hang together (piece count, indices).
Result<SavedCheck> read(const QString& path);

// Like read, and fails too when the file holds another text's check (a file
// copied or renamed by hand, or a hash that two texts share).
Result<SavedCheck> readFor(const QString& folder, const QString& analysedText);

// The folder the checks are kept in, inside the user's data folder.
QString folderIn(const QString& dataFolder);

// The check as the session stands after a scored page.
SavedCheck fromSession(const ComparisonSession& session, const QString& label2, const QString& engine,
                       bool finished);
// Puts a saved check's results and progress back into a session that has
// just analysed its text, so that the next Compare goes on from there.
void restoreInto(const SavedCheck& check, ComparisonSession& session);

// Keeps the `keep` most recent checks in `folder`, removing the others.
void prune(const QString& folder, int keep = 50);

}  // namespace savedcheck
