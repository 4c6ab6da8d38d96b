#pragma once
// The PDF part of trovalis-cli: reading a PDF's text (Qt PDF) and writing the
// check report as PDF (Qt Gui's text layout) take Qt Gui and some fifty
// libraries with it, which cost every start of the program a third of its
// time. They live in a module beside the program, loaded only by the commands
// that read or write a PDF; every other command loads QtCore and what it
// needs beside it.
//
// The module exports one function, kEntryPoint, that gives its table of
// functions. The program and the module are built together: the table's
// version is checked all the same, so that a module left from another build is
// refused with a clear message instead of being called.

#include <QString>
#include <QStringList>

namespace report {
struct CheckReportModel;
}

namespace pdfpart {

constexpr int kVersion = 1;
constexpr const char* kEntryPoint = "trovalis_pdf_part";

struct Functions {
    int version = kVersion;
    // Each page's text with its lines, or false with the reason (as
    // pdf::readPdfPages gives them). Safe on any thread, one call at a time.
    bool (*readPages)(const QString& path, QStringList& pages, QString& error) = nullptr;
    // Runs `body(context)` inside a QGuiApplication made from argc and argv
    // (on the "offscreen" platform when there is no display) and gives what it
    // returns. Called before any other application object exists.
    int (*runInGuiApplication)(int& argc, char** argv, int (*body)(void* context), void* context) = nullptr;
    // Writes the report as PDF to `path` (nothing half-written on failure), or
    // false with the reason. Needs the application of runInGuiApplication.
    bool (*writeReport)(const report::CheckReportModel& model, const QString& path, QString& error) = nullptr;
};

using EntryPoint = const Functions* (*)();

}  // namespace pdfpart
