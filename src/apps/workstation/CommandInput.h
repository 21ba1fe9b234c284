#pragma once

#include <QHash>
#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace Velmora {

// A typed command line split for the zone's sendCommand: the first word is the
// command, the rest is read into values, numbers, "text" and #hex bytes.
class CommandLine
{
public:
    // Blank text gives an invalid command line.
    static CommandLine parse(const QString& text);

    bool isValid() const;
    QString command() const;
    // The text after the command, trimmed at both ends; empty when there is none.
    QString parameters() const;

    // The two arguments of sendCommand(QVariant, QVariant): the parameters as
    // the list of values read from them, as check() reads them; no parameters
    // give an invalid variant, which the zone takes as "no parameter".
    QVariant commandArgument() const;
    QVariant parameterArgument() const;

    // The protocol's code of the command, by name (any case) or as a number; -1 when unknown.
    int code() const;
    // Checks the line against the protocol's command row before anything is
    // sent: a known command, as many parameters as it takes, each of its type,
    // read as the module will read them. False with the reason in *message.
    bool check(QString* message) const;
    // "SET_STRAT strategy timeout (s)".
    static QString usage(int code);

private:
    QString m_command;
    QString m_parameters;
};

// The lines sent, for Up and Down: oldest first, no blank lines, no line
// twice in a row, at most MaxEntries. Browsing keeps the line being written
// and gives it back past the newest entry; an entry typed over shows as typed
// until the next line is sent, as in a shell, and the entry itself stays.
class CommandHistory
{
public:
    static constexpr int MaxEntries = 100;

    void add(const QString& line);
    QStringList entries() const;
    // The entry before the one shown; `current` is what the line holds now.
    QString older(const QString& current);
    QString newer(const QString& current);
    // Back to the line being written, what was typed over forgotten: the next older() starts at the newest.
    void resetBrowsing();

private:
    QStringList m_entries;
    int m_position = -1; // -1: not browsing
    // The lines as they were left while browsing, by position; the line
    // being written is at m_entries.size().
    QHash<int, QString> m_typed;
};

// The command line: Up and Down walk the history, command names complete.
class CommandEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit CommandEdit(QWidget* parent = nullptr);

    CommandHistory& history();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    CommandHistory m_history;
};

} // namespace Velmora
