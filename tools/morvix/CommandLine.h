#pragma once

#include <QString>
#include <QStringList>

namespace Morvix {

// The two command lines morvix takes (each option and value a separate
// argument, in any order):
//   --controller-config FILE --get-prog-list LISTFILE
//   --controller-config FILE --object-id ID --edit-prog PROGFILE [--prog-id N]
struct CommandLine
{
    enum Mode { ListPrograms, EditProgram };

    Mode mode = ListPrograms;
    QString configFile;
    QString listFile;
    QString programFile;
    int objectId = 0;
    int programId = 0; // 0: none given

    // `arguments` without the program name. False with `error` set for
    // anything but the two forms.
    static bool parse(const QStringList& arguments, CommandLine* line, QString* error);
    static QString usage();
};

} // namespace Morvix
