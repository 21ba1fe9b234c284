#include "Refusal.h"

#include "InputMarks.h"

namespace Velmora {
namespace Editors {

Refusal::Refusal(QLabel* line, std::function<QStringList()> mark, QObject* parent)
    : QObject(parent)
    , m_line(line)
    , m_mark(std::move(mark))
{
}

bool Refusal::check()
{
    const bool refused = !show().isEmpty();
    m_refused = m_refused || refused;
    return !refused;
}

QStringList Refusal::show()
{
    const QStringList reasons = m_mark();
    showReasons(m_line, reasons);
    return reasons;
}

} // namespace Editors
} // namespace Velmora
