#include "QuestionAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

QuestionAnswerer::QuestionAnswerer(const QString& answer, std::function<QString(const QMessageBox*)> describe)
    : m_answer(answer), m_describe(std::move(describe))
{
    connect(&m_timer, &QTimer::timeout, this, &QuestionAnswerer::look);
    m_timer.start(10);
}

void QuestionAnswerer::look()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    asked << (m_describe ? m_describe(box) : box->objectName() + ": " + box->text());
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == m_answer)
            return button->click();
    }
    box->close();
}
