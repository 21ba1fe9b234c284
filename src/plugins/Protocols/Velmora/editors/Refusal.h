#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QLabel;

namespace Velmora {
namespace Editors {

// Why a dialog refuses its OK, in words: `mark` marks the faulty fields and
// cells and returns the reasons, which the reason line shows. Once refused,
// the marks follow every signal given to follow(), so a mended fault loses
// its mark and its words at once.
class Refusal : public QObject
{
public:
    Refusal(QLabel* line, std::function<QStringList()> mark, QObject* parent);

    // Marks the faults; true when there is none.
    bool check();

    template<typename Sender, typename Signal>
    void follow(const Sender* sender, Signal signal)
    {
        connect(sender, signal, this, [this] {
            if (m_refused)
                show();
        });
    }

private:
    QStringList show();

    QLabel* m_line;
    std::function<QStringList()> m_mark;
    bool m_refused = false;
};

} // namespace Editors
} // namespace Velmora
