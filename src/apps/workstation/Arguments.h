#pragma once

#include <QByteArray>
#include <QList>

// QApplication claims "-plugin NAME" and "--plugin NAME" for Qt's own generic
// plug-ins and removes both words from the command line, wherever they stand,
// so the workstation's "--plugin PATH" would never reach its parser (nor a
// value that happens to read "--plugin"). Qt leaves "--name=VALUE" alone: that
// is the form the arguments are put in before QApplication sees them.
namespace Arguments {

// Joins every "--name VALUE" of an option that takes a value (valueOptions:
// names without dashes) into "--name=VALUE"; the first word, the program, and
// everything after "--" stay as they are. When the last word is such an
// option with no value left, it stays too and *missingValue gets its name
// (empty otherwise).
QList<QByteArray> joinOptionValues(const QList<QByteArray>& arguments, const QList<QByteArray>& valueOptions,
                                   QByteArray* missingValue);

} // namespace Arguments
