#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class QMessageBox;

// While it lives, answers the question boxes that open as a user would: each is noted (by `describe`, else as
// "NAME: TEXT") and gets the button whose text is `answer`, or is closed when it has none.
class QuestionAnswerer : public QObject
{
public:
    explicit QuestionAnswerer(const QString& answer, std::function<QString(const QMessageBox*)> describe = {});

    QStringList asked;

private:
    void look();

    QString m_answer;
    std::function<QString(const QMessageBox*)> m_describe;
    QTimer m_timer;
};
