#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>

class QWidget;

namespace Velmora {
namespace Editors {

// An editor's form as it was opened, as text, to tell on closing whether
// anything changed. Writing a large zone as text takes a good part of a
// second, so it is not taken before the editor is on screen: once the editor
// was first drawn, or at the first input anywhere before that, so that nothing
// typed early counts as opened.
class OpenedText : public QObject
{
public:
    // `formText` writes the form into the document and returns its text.
    OpenedText(QWidget* editor, std::function<QByteArray()> formText);
    ~OpenedText() override;

    // The opened text; taken now when it was not yet.
    const QByteArray& text();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void take();

    QWidget* m_editor;
    std::function<QByteArray()> m_formText;
    QByteArray m_text;
    bool m_taken = false;
};

} // namespace Editors
} // namespace Velmora
