#include "CommandInput.h"

#include "ProtocolWords.h"

#include "Velmora/format/Protocol.h"
#include "semtra/Rare.h"

#include <climits>

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QStringListModel>

namespace Velmora {

namespace Protocol = Velmora::Protocol;

namespace {

// A number as the module reads its parameters: decimal, or hex after 0x; no sign. Invalid for anything else.
QVariant numberIn(const QString& word)
{
    const QByteArray text = word.toLatin1();
    const char* cursor = text.constData();
    const QVariant value = Rare::getParam(cursor);
    return value.userType() == QMetaType::UInt && *cursor == '\0' ? value : QVariant();
}

// The parameters as the module reads them, each value's words as typed in *words, what would not read in *rest.
// Read from UTF-8, the encoding the reader takes text in: the locale's 8-bit encoding may have no code for a
// typed letter and would garble it.
QVariantList valuesIn(const QString& parameters, QStringList* words = nullptr, QString* rest = nullptr)
{
    const QByteArray text = parameters.toUtf8();
    const char* cursor = text.constData();
    QVariantList values;
    for (const char* start = cursor;; start = cursor) {
        const QVariant value = Rare::getParam(cursor);
        if (!value.isValid())
            break;
        values.append(value);
        if (words)
            words->append(QString::fromUtf8(start, int(cursor - start)).trimmed());
    }
    if (rest)
        *rest = QString::fromUtf8(cursor).trimmed();
    return values;
}

// Whether a word the module did not take as a value reads as a number all the same: one out of its range.
bool looksLikeNumber(const QString& word)
{
    static const QRegularExpression number(QStringLiteral("^-?(0[xX][0-9a-fA-F]+|[0-9]+)$"));
    return number.match(word).hasMatch();
}

} // namespace

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
    // A code goes as its number: the zone takes text for a command's name.
    const int number = code();
    if (number >= 0 && numberIn(m_command).isValid())
        return number;
    return isValid() ? QVariant(m_command) : QVariant();
}

QVariant CommandLine::parameterArgument() const
{
    // The values, not the text: the zone would read text through the locale's 8-bit encoding.
    return m_parameters.isEmpty() ? QVariant() : QVariant(valuesIn(m_parameters));
}

int CommandLine::code() const
{
    const QVariant number = numberIn(m_command);
    if (number.isValid())
        return Protocol::findCommand(number.toUInt()) ? int(number.toUInt()) : -1;
    for (const Protocol::CommandRow& row : Protocol::commands()) {
        if (m_command.compare(QLatin1String(row.name), Qt::CaseInsensitive) == 0)
            return row.code;
    }
    return -1;
}

QString CommandLine::usage(int code)
{
    const QStringList names = ProtocolWords::commandParameters(code);
    QString text = ProtocolWords::commandName(code);
    for (const QString& name : names)
        text += QStringLiteral(" <%1>").arg(name);
    return text;
}

bool CommandLine::check(QString* message) const
{
    if (!isValid()) {
        *message = QObject::tr("type a command");
        return false;
    }
    const int command = code();
    const Protocol::CommandRow* row = Protocol::findCommand(command);
    if (!row) {
        *message = QObject::tr("unknown command %1").arg(m_command);
        return false;
    }
    QStringList words;
    QString rest;
    const QVariantList values = valuesIn(m_parameters, &words, &rest);
    const QList<QVariant::Type> types = Protocol::splitTypes(row->paramTypes);
    const QStringList names = ProtocolWords::commandParameters(command);
    auto nameOf = [&names](int i) {
        return i < names.size() ? names.at(i) : QObject::tr("parameter %1").arg(i + 1);
    };
    auto outOfRange = [&](int i, const QString& word) {
        return QObject::tr("%1 must be a number from 0 to %2, not %3").arg(nameOf(i)).arg(UINT_MAX).arg(word);
    };
    if (!rest.isEmpty()) {
        const QString word = rest.section(QLatin1Char(' '), 0, 0);
        const bool numberWanted = values.size() < types.size() && types.at(values.size()) == QVariant::UInt;
        if (numberWanted && looksLikeNumber(word))
            *message = outOfRange(values.size(), word);
        else if (numberWanted)
            *message = QObject::tr("%1 must be a number, not \"%2\"").arg(nameOf(values.size()), word);
        else
            *message = QObject::tr("\"%1\" is no value (numbers, \"text\" or #hex)").arg(word);
        return false;
    }
    if (values.size() != row->paramCount) {
        *message = row->paramCount == 0
            ? QObject::tr("%1 takes no parameters").arg(ProtocolWords::commandName(command))
            : QObject::tr("%1 takes %2 parameter(s), not %3: %4")
                  .arg(ProtocolWords::commandName(command))
                  .arg(row->paramCount)
                  .arg(values.size())
                  .arg(usage(command));
        return false;
    }
    for (int i = 0; i < values.size() && i < types.size(); ++i) {
        const int type = values.at(i).userType();
        const QVariant::Type wanted = types.at(i);
        if (wanted == QVariant::UInt && type != QMetaType::UInt) {
            *message = type == QMetaType::Int
                ? outOfRange(i, words.at(i))
                : QObject::tr("%1 must be a number, not %2").arg(nameOf(i), words.at(i));
            return false;
        }
        if (wanted == QVariant::ByteArray && type != QMetaType::QByteArray) {
            *message = QObject::tr("%1 must be bytes in hex, like #0a1b").arg(nameOf(i));
            return false;
        }
        if (wanted == QVariant::String && type != QMetaType::QString) {
            *message = QObject::tr("%1 must be a \"quoted text\"").arg(nameOf(i));
            return false;
        }
    }
    return true;
}

void CommandHistory::add(const QString& line)
{
    resetBrowsing();
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || (!m_entries.isEmpty() && m_entries.last() == trimmed))
        return;
    m_entries.append(trimmed);
    while (m_entries.size() > MaxEntries)
        m_entries.removeFirst();
}

QStringList CommandHistory::entries() const
{
    return m_entries;
}

QString CommandHistory::older(const QString& current)
{
    if (m_entries.isEmpty())
        return current;
    if (m_position < 0)
        m_position = m_entries.size();
    m_typed.insert(m_position, current);
    if (m_position > 0)
        --m_position;
    return m_typed.value(m_position, m_entries.value(m_position));
}

QString CommandHistory::newer(const QString& current)
{
    if (m_position < 0)
        return current;
    m_typed.insert(m_position, current);
    if (m_position < m_entries.size())
        ++m_position;
    return m_typed.value(m_position, m_entries.value(m_position));
}

void CommandHistory::resetBrowsing()
{
    m_position = -1;
    m_typed.clear();
}

CommandEdit::CommandEdit(QWidget* parent)
    : QLineEdit(parent)
{
    // A program's bytes in hex run long: QLineEdit would cut them at 32767 characters.
    setMaxLength(INT_MAX);
    auto* completer = new QCompleter(new QStringListModel(ProtocolWords::commandNames(), this), this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    setCompleter(completer);
}

CommandHistory& CommandEdit::history()
{
    return m_history;
}

void CommandEdit::keyPressEvent(QKeyEvent* event)
{
    // While the completion list is open, Up and Down move in it.
    const bool completing = completer() && completer()->popup() && completer()->popup()->isVisible();
    if (!completing && event->key() == Qt::Key_Up) {
        setText(m_history.older(text()));
        event->accept();
        return;
    }
    if (!completing && event->key() == Qt::Key_Down) {
        setText(m_history.newer(text()));
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace Velmora
