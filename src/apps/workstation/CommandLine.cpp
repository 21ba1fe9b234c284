#include "CommandLine.h"

CommandLine CommandLine::parse(const QString& text)
{
    CommandLine line;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return line;
    int end = 0;
    while (end < trimmed.size() && !trimmed.at(end).isSpace())
        ++end;
    line.m_command = trimmed.left(end);
    // The rest keeps its inner spacing: a quoted text parameter may depend on it.
    line.m_parameters = trimmed.mid(end).trimmed();
    return line;
}

bool CommandLine::isValid() const
{
    return !m_command.isEmpty();
}

QString CommandLine::command() const
{
    return m_command;
}

QString CommandLine::parameters() const
{
    return m_parameters;
}

QVariant CommandLine::commandArgument() const
{
    return isValid() ? QVariant(m_command) : QVariant();
}

QVariant CommandLine::parameterArgument() const
{
    return m_parameters.isEmpty() ? QVariant() : QVariant(m_parameters);
}
