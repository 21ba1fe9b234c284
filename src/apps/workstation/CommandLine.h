#pragma once

#include <QString>
#include <QVariant>

// A typed command line split for the zone's sendCommand: the first word is the
// command, the rest is handed over as text. The module reads the values from
// that text itself, so nothing here knows the protocol.
class CommandLine
{
public:
    // Blank text gives an invalid command line.
    static CommandLine parse(const QString& text);

    bool isValid() const;
    QString command() const;
    // The text after the command, trimmed at both ends; empty when there is none.
    QString parameters() const;

    // The two arguments of sendCommand(QVariant, QVariant); no parameters give
    // an invalid variant, which the zone takes as "no parameter".
    QVariant commandArgument() const;
    QVariant parameterArgument() const;

private:
    QString m_command;
    QString m_parameters;
};
