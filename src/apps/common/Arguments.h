#pragma once

#include <QByteArray>
#include <QCommandLineOption>
#include <QList>

#include <vector>

namespace VelmoraHost {

// QApplication claims "-plugin NAME" and "--plugin NAME" for Qt's own generic
// plug-ins and removes both words from the command line, wherever they stand,
// so a host's "--plugin PATH" would never reach its parser (nor a value that
// happens to read "--plugin"). Qt leaves "--name=VALUE" alone: that is the
// form the arguments are put in before QApplication sees them.
namespace Arguments {

// Joins every "--name VALUE" of an option that takes a value (valueOptions:
// names without dashes) into "--name=VALUE"; the first word, the program, and
// everything after "--" stay as they are. When the last word is such an
// option with no value left, it stays too and *missingValue gets its name
// (empty otherwise).
QList<QByteArray> joinOptionValues(const QList<QByteArray>& arguments, const QList<QByteArray>& valueOptions,
                                   QByteArray* missingValue);

// Every name of the options that take a value.
QList<QByteArray> valueOptionNames(const QList<QCommandLineOption>& options);

// "--plugin PATH", the module a host loads.
QCommandLineOption pluginOption();

// A host runs without a display too (a terminal, screenshots, tests) on Qt's
// offscreen platform, unless a platform was chosen. Call before QApplication.
void useOffscreenWithoutDisplay();

} // namespace Arguments

// The command line as QApplication is to see it: the program's own options
// with their values joined. QApplication keeps a reference to argc and the
// argv array, so this must outlive it.
class ApplicationArguments
{
public:
    ApplicationArguments(int argc, char* argv[], const QList<QCommandLineOption>& options);
    ApplicationArguments(const ApplicationArguments&) = delete;
    ApplicationArguments& operator=(const ApplicationArguments&) = delete;

    // The option given last without its value; empty when there is none.
    QByteArray missingValue() const;
    int& argc();
    char** argv();

private:
    QList<QByteArray> m_arguments;
    std::vector<char*> m_pointers;
    QByteArray m_missingValue;
    int m_argc = 0;
};

} // namespace VelmoraHost
