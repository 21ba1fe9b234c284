#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>

// While it lives, answers the question boxes that open as a user would: each is noted (by `describe`, else as
// "NAME: TEXT") and gets the button whose text is `answer`, or is closed when it has none.
class QuestionAnswerer : public QTimer
{
public:
    explicit QuestionAnswerer(const QString& answer, std::function<QString(const QMessageBox*)> describe = {})
    {
        connect(this, &QTimer::timeout, [this, answer, describe] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            asked << (describe ? describe(box) : box->objectName() + ": " + box->text());
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == answer)
                    return button->click();
            }
            box->close();
        });
        start(10);
    }

    QStringList asked;
};
