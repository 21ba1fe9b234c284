#include "ControllersStateEditdlg.h"
#include "ui_ControllersStateEditdlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPalette>
#include <QSignalBlocker>
#include <QTemporaryFile>
#include <QTextStream>
#include <QVariant>
#include <QXmlStreamReader>

#include "ComboBoxDelegate.h"
#include "DomMetaType.h"
#include "InputMarks.h"
#include "Refusal.h"
#include "IdField.h"
#include "ProgramEditorRun.h"
#include "format/Vocabulary.h"
#include "format/XmlDocument.h"

namespace Xml = Velmora::Xml;

using Velmora::Editors::markField;

namespace {

enum Column { ControllerColumn = 0, SpecialStateColumn = 1, ProgramColumn = 2, SpecialProgramColumn = 3 };

// Removes the editor a cell holds, if any: what the user leaves is taken as
// chosen. Through the view, which deletes the editor later.
void removeCellEditor(QTableWidget* table, const QTableWidgetItem* cell)
{
    if (cell && table->cellWidget(cell->row(), cell->column()))
        table->removeCellWidget(cell->row(), cell->column());
}

// The program editor's names: the one it ships under first, then the plain
// executable name of platforms without the suffix.
const char* const ToolNames[] = {"morvix.exe", "morvix"};

// The folders the program editor is looked for in: the application's own
// first, then the PATH entries in order.
QStringList toolFolders()
{
    QStringList folders{QCoreApplication::applicationDirPath()};
    folders += qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    return folders;
}

QString findTool(const QStringList& folders)
{
    for (const char* name : ToolNames) {
        const bool plain = !QLatin1String(name).endsWith(QLatin1String(".exe"));
        for (const QString& folder : folders) {
            const QFileInfo candidate{QDir(folder), QLatin1String(name)};
            // Without the suffix only an executable file counts: a folder or a
            // data file named morvix is no tool.
            if (candidate.isFile() && (!plain || candidate.isExecutable()))
                return candidate.absoluteFilePath();
        }
    }
    return QString();
}

QString toolNotFound(const QStringList& folders)
{
    QStringList shown;
    for (const QString& folder : folders)
        shown << QDir::toNativeSeparators(folder);
    return ControllersStateEditdlg::tr("The program editor morvix was not found. It was looked for in the "
                                       "application's folder and then in each folder of PATH:\n%1")
        .arg(shown.join(QLatin1Char('\n')));
}

// No special program comes near this; a controller's whole configuration is
// far smaller. A larger result is refused before it is read.
constexpr qint64 MaxProgramBytes = 16 * 1024 * 1024;
// Deeper nesting is no program either, and would cost the later parse its stack.
constexpr int MaxProgramDepth = 256;

// Why `bytes` are not a special program as the program editor saves one (a
// well-formed document whose root is Program, or Controller as older files
// have it), or empty when they are.
QString programFault(const QByteArray& bytes)
{
    QXmlStreamReader reader(bytes);
    QString root;
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement)
            --depth;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (root.isEmpty())
            root = reader.name().toString();
        if (++depth > MaxProgramDepth)
            return ControllersStateEditdlg::tr("elements nested deeper than %1 levels (line %2)")
                .arg(MaxProgramDepth)
                .arg(reader.lineNumber());
    }
    if (reader.hasError())
        return ControllersStateEditdlg::tr("%1 (line %2, column %3)")
            .arg(reader.errorString())
            .arg(reader.lineNumber())
            .arg(reader.columnNumber());
    if (root != Xml::Program && root != Xml::Controller)
        return ControllersStateEditdlg::tr("its root element is %1, not Program").arg(root);
    return QString();
}

QString tempTemplate(const char* name)
{
    return QDir(QDir::tempPath()).filePath(QLatin1String(name));
}

QString cellText(const QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

ControllersStateEditdlg::ControllersStateEditdlg(QDomElement states, QDomElement state, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ControllersStateEditdlg)
    , m_stateDelegate(new ComboBoxDelegate(this,
                                           {tr("local control"), tr("yellow flashing"), tr("off")},
                                           {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}))
    , m_progDelegate(new ComboBoxDelegate(this, QStringList(), QStringList()))
{
    Velmora::Editors::registerDomElementType();
    ui->setupUi(this);
    ui->states->setItemDelegateForColumn(SpecialStateColumn, m_stateDelegate);
    ui->states->setItemDelegateForColumn(ProgramColumn, m_progDelegate);
    connect(m_progDelegate, QOverload<const QModelIndex&>::of(&ComboBoxDelegate::createEditor), this,
            &ControllersStateEditdlg::progDelegateCreateEditor);
    // A row that holds more than one (as a file may) shows them all: choosing
    // the one shown still makes it the only one, though the cell's text stays
    // and the table tells nothing. The view, connected first, has written the
    // cell by the time commitData reaches us.
    for (ComboBoxDelegate* delegate : {m_stateDelegate, m_progDelegate}) {
        connect(delegate, QOverload<const QModelIndex&>::of(&ComboBoxDelegate::createEditor), this,
                [this](const QModelIndex& index) { m_editedCell = index; });
        connect(delegate, &QAbstractItemDelegate::commitData, this, [this] {
            on_states_itemChanged(ui->states->item(m_editedCell.row(), m_editedCell.column()));
        });
    }

    m_reason = Velmora::Editors::addReasonLine(ui->verticalLayout, ui->verticalLayout->indexOf(ui->buttonBox));
    m_refusal = new Velmora::Editors::Refusal(m_reason, [this] { return markFaults(); }, this);
    m_refusal->follow(ui->stateId, &QSpinBox::textChanged);
    m_refusal->follow(ui->stateName, &QLineEdit::textChanged);
    m_id = new Velmora::Editors::IdField(ui->stateId);
    const QString id = state.attribute(Xml::id);
    m_otherStateIds = Velmora::Editors::siblingIds(states, Xml::State, id);
    if (id.isEmpty())
        m_id->setId(Velmora::Editors::nextId(m_otherStateIds));
    else
        m_id->setId(id);
    ui->stateName->setText(state.attribute(Xml::name));
    readControllerNames(states.ownerDocument());

    {
        const QSignalBlocker blocker(ui->states);
        for (QDomElement controller = state.firstChildElement(Xml::Controller); !controller.isNull();
             controller = controller.nextSiblingElement(Xml::Controller)) {
            const int row = ui->states->rowCount();
            ui->states->insertRow(row);

            // The controllers come from the area: their ids are not edited here.
            auto* idItem = new QTableWidgetItem(controller.attribute(Xml::id));
            idItem->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            idItem->setData(Qt::UserRole, QVariant::fromValue(controller));
            ui->states->setItem(row, ControllerColumn, idItem);

            const QString specialState = controller.attribute(Xml::state);
            if (!specialState.isEmpty())
                ui->states->setItem(row, SpecialStateColumn,
                                    new QTableWidgetItem(m_stateDelegate->textOf(specialState)));

            const QString programId = controller.attribute(Xml::program_id);
            if (!programId.isEmpty()) {
                auto* programItem = new QTableWidgetItem(programId);
                programItem->setData(Qt::UserRole, programId);
                ui->states->setItem(row, ProgramColumn, programItem);
            }

            QDomElement program = controller.firstChildElement(Xml::Program);
            if (program.isNull())
                program = controller.firstChildElement(Xml::Controller);
            QString programText;
            if (!program.isNull()) {
                QTextStream stream(&programText);
                program.save(stream, -1);
            }
            // Every row has its special-program cell, so that it can be
            // selected for the context menu even before a program exists.
            auto* specialItem = new QTableWidgetItem;
            specialItem->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            if (!programText.isEmpty()) {
                specialItem->setText(tr("defined"));
                specialItem->setData(Qt::UserRole, programText.toUtf8());
            }
            ui->states->setItem(row, SpecialProgramColumn, specialItem);
            describeRow(row);
        }
    }
    ui->states->resizeColumnsToContents();
}

ControllersStateEditdlg::~ControllersStateEditdlg()
{
    // A cell editor still open commits when the window hides, which is after
    // this part of the dialog is gone.
    m_stateDelegate->disconnect(this);
    m_progDelegate->disconnect(this);
    delete ui;
}

void ControllersStateEditdlg::setRpcObject(QObject* rpcObject)
{
    if (m_rpcObject) {
        disconnect(m_rpcObject, SIGNAL(rpcDisconnected()), this, SLOT(rpcDisconnected()));
        disconnect(m_rpcObject, SIGNAL(rpcConnected()), this, SLOT(rpcConnected()));
    }
    m_rpcObject = rpcObject;
    if (m_rpcObject) {
        connect(m_rpcObject, SIGNAL(rpcDisconnected()), this, SLOT(rpcDisconnected()));
        connect(m_rpcObject, SIGNAL(rpcConnected()), this, SLOT(rpcConnected()));
    }
}

QDomElement ControllersStateEditdlg::stateElement(QDomDocument doc)
{
    QDomElement state = doc.createElement(Xml::State);
    // Not the spin box's text: that is written in the user's locale.
    state.setAttribute(Xml::id, m_id->text());
    state.setAttribute(Xml::name, ui->stateName->text());
    for (int row = 0; row < ui->states->rowCount(); ++row) {
        QDomElement controller = doc.createElement(Xml::Controller);
        controller.setAttribute(Xml::id, cellText(ui->states, row, ControllerColumn));

        const QString specialState = cellText(ui->states, row, SpecialStateColumn);
        if (!specialState.isEmpty()) {
            // A code the editor does not offer (such as "0") was shown as
            // itself and goes back unchanged.
            const QString code = m_stateDelegate->valueOf(specialState);
            controller.setAttribute(Xml::state, code.isEmpty() ? specialState : code);
        }

        const QString programId = cellText(ui->states, row, ProgramColumn);
        if (!programId.isEmpty())
            controller.setAttribute(Xml::program_id, programId);

        const QTableWidgetItem* specialItem = ui->states->item(row, SpecialProgramColumn);
        if (specialItem && !specialItem->text().isEmpty()) {
            QDomDocument program;
            Xml::ReadError ignored; // the program editor's result was checked when it came
            if (Xml::parseDocument(specialItem->data(Qt::UserRole).toByteArray(), &program, &ignored))
                controller.appendChild(doc.importNode(program.documentElement(), true));
        }
        state.appendChild(controller);
    }
    return state;
}

void ControllersStateEditdlg::on_buttonBox_accepted()
{
    // An open cell editor: the table's current cell change below commits it.
    if (auto* editor = qobject_cast<QComboBox*>(QApplication::focusWidget()))
        editor->deleteLater();
    ui->states->setCurrentItem(nullptr);

    if (m_refusal->check())
        accept();
}

QStringList ControllersStateEditdlg::markFaults()
{
    QStringList reasons;
    const bool idTaken = m_otherStateIds.contains(m_id->id());
    const QString taken = tr("Another state of the area has the id %1").arg(m_id->text());
    markField(ui->stateId, idTaken, taken);
    if (idTaken)
        reasons << taken;
    QString reason;
    if (Velmora::Editors::markName(ui->stateName, tr("The state has no name"), &reason))
        reasons << reason;
    return reasons;
}

void ControllersStateEditdlg::on_states_customContextMenuRequested(const QPoint& pos)
{
    QTableWidgetItem* item = selectedProgramItem();
    if (!item || !m_rpcObject)
        return;
    QMenu menu(this);
    menu.addAction(tr("Change"), this, &ControllersStateEditdlg::changeCurrentStateItem);
    if (!cellText(ui->states, item->row(), ProgramColumn).isEmpty())
        menu.addAction(tr("Change local"), this, &ControllersStateEditdlg::changeLocalCurrentStateItem);
    menu.exec(ui->states->viewport()->mapToGlobal(pos));
}

void ControllersStateEditdlg::changeCurrentStateItem()
{
    if (QTableWidgetItem* item = selectedProgramItem())
        editProgram(item->row(), false);
}

void ControllersStateEditdlg::changeLocalCurrentStateItem()
{
    if (QTableWidgetItem* item = selectedProgramItem())
        editProgram(item->row(), true);
}

void ControllersStateEditdlg::on_states_itemChanged(QTableWidgetItem* item)
{
    if (!item || item->column() < SpecialStateColumn || item->column() > SpecialProgramColumn)
        return;
    if (!item->text().isEmpty()) {
        // A controller runs one of the three: the new value replaces the others.
        const QSignalBlocker blocker(ui->states);
        for (int column = SpecialStateColumn; column <= SpecialProgramColumn; ++column) {
            if (column == item->column())
                continue;
            if (QTableWidgetItem* other = ui->states->item(item->row(), column)) {
                other->setText(QString());
                other->setData(Qt::UserRole, QVariant());
            }
        }
    }
    describeRow(item->row());
}

void ControllersStateEditdlg::on_states_currentItemChanged(QTableWidgetItem*, QTableWidgetItem* previous)
{
    removeCellEditor(ui->states, previous);
}

void ControllersStateEditdlg::on_states_doubleClicked(const QModelIndex& index)
{
    if (index.column() == SpecialProgramColumn && m_rpcObject)
        editProgram(index.row(), false);
}

void ControllersStateEditdlg::progDelegateCreateEditor(const QModelIndex& index)
{
    auto* delegate = qobject_cast<ComboBoxDelegate*>(sender());
    if (!delegate)
        delegate = m_progDelegate;
    // The lists still hold the previous cell's programs, which belong to
    // another controller: offer nothing unless this one's can be read.
    delegate->texts.clear();
    delegate->values.clear();

    if (!m_rpcObject)
        return;
    // Without the tool the cell takes a typed program id: no message each
    // time a cell editor opens.
    const QString tool = findTool(toolFolders());
    if (tool.isEmpty())
        return;
    const QTableWidgetItem* idItem = ui->states->item(index.row(), ControllerColumn);
    if (!idItem)
        return;
    const QByteArray config = readConfig(idItem->text().toUInt());
    if (config.isEmpty())
        return;

    QTemporaryFile configFile(tempTemplate("velmora-controller-XXXXXX.cfg"));
    QTemporaryFile listFile(tempTemplate("velmora-programs-XXXXXX.txt"));
    if (!configFile.open() || !listFile.open())
        return;
    if (configFile.write(config) != config.size())
        return;
    configFile.close();
    listFile.close();

    const QStringList arguments{QStringLiteral("--controller-config"), configFile.fileName(),
                                QStringLiteral("--get-prog-list"), listFile.fileName()};
    if (!runTool(tool, arguments))
        return;

    // Read by name: the tool may have replaced the file rather than written it.
    QFile list(listFile.fileName());
    if (!list.open(QIODevice::ReadOnly))
        return;
    QStringList programs;
    for (QByteArray line : list.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            programs.append(QString::fromUtf8(line));
    }
    delegate->texts = programs;
}

void ControllersStateEditdlg::rpcConnected()
{
    showWarning(tr("Warning"), tr("RPC Object connected"));
}

void ControllersStateEditdlg::rpcDisconnected()
{
    showWarning(tr("Warning"), tr("RPC Object disconnected"));
}

void ControllersStateEditdlg::readControllerNames(const QDomDocument& zone)
{
    const QDomElement controllers = zone.documentElement().firstChildElement(Xml::Controllers);
    for (QDomElement controller = controllers.firstChildElement(Xml::Controller); !controller.isNull();
         controller = controller.nextSiblingElement(Xml::Controller))
        m_controllerNames.insert(controller.attribute(Xml::id), controller.attribute(Xml::name));
}

void ControllersStateEditdlg::describeRow(int row)
{
    const QString id = cellText(ui->states, row, ControllerColumn);
    const QString name = m_controllerNames.value(id);
    const QString controller =
        name.isEmpty() ? tr("Controller %1").arg(id) : tr("Controller %1 \"%2\"").arg(id, name);

    const QString specialState = cellText(ui->states, row, SpecialStateColumn);
    const QString program = cellText(ui->states, row, ProgramColumn);
    QString runs;
    if (!specialState.isEmpty())
        runs = tr("Special state: %1").arg(specialState);
    else if (!program.isEmpty())
        runs = tr("Runs its signal program %1").arg(program);
    else if (!cellText(ui->states, row, SpecialProgramColumn).isEmpty())
        runs = tr("Runs the special program of this state");
    else
        runs = tr("No special state, program or special program chosen");

    // Every cell of the row tells it, the empty ones too; a tool tip is a
    // change of the item, which must not run the exclusive-columns rule.
    const QSignalBlocker blocker(ui->states);
    for (int column = ControllerColumn; column <= SpecialProgramColumn; ++column) {
        QTableWidgetItem* item = ui->states->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            ui->states->setItem(row, column, item);
        }
        item->setToolTip(controller + QLatin1Char('\n') + runs);
    }
}

QTableWidgetItem* ControllersStateEditdlg::selectedProgramItem() const
{
    const QList<QTableWidgetItem*> selected = ui->states->selectedItems();
    if (selected.size() != 1 || selected.first()->column() != SpecialProgramColumn)
        return nullptr;
    return selected.first();
}

void ControllersStateEditdlg::editProgram(int row, bool local)
{
    if (!m_rpcObject)
        return;
    const QStringList folders = toolFolders();
    const QString tool = findTool(folders);
    if (tool.isEmpty()) {
        showWarning(tr("Error"), toolNotFound(folders));
        return;
    }
    const QTableWidgetItem* idItem = ui->states->item(row, ControllerColumn);
    if (!idItem)
        return;
    // Any id the loader reads: unsigned 32-bit.
    const quint32 controllerId = idItem->text().toUInt();

    uint programId = 0;
    if (local) {
        programId = cellText(ui->states, row, ProgramColumn).toUInt();
        if (programId == 0)
            local = false;
    }

    const QByteArray config = readConfig(controllerId);
    if (config.isEmpty())
        return;

    // Both files go when this function returns, whichever way it does.
    QTemporaryFile configFile(tempTemplate("velmora-controller-XXXXXX.cfg"));
    QTemporaryFile programFile(tempTemplate("velmora-program-XXXXXX.xml"));
    if (!configFile.open() || !programFile.open() || configFile.write(config) != config.size()) {
        showWarning(tr("Error"), tr("Error creating temporary file"));
        return;
    }
    configFile.close();

    QStringList arguments{QStringLiteral("--controller-config"), configFile.fileName(),
                          QStringLiteral("--object-id"), QString::number(controllerId),
                          QStringLiteral("--edit-prog"), programFile.fileName()};
    const QTableWidgetItem* specialItem = ui->states->item(row, SpecialProgramColumn);
    const QByteArray current = specialItem ? specialItem->data(Qt::UserRole).toByteArray() : QByteArray();
    if (!local && !current.isEmpty()) {
        if (programFile.write(current) != current.size()) {
            showWarning(tr("Error"), tr("Error creating temporary file"));
            return;
        }
    } else {
        arguments << QStringLiteral("--prog-id") << QString::number(programId);
    }
    programFile.close();

    if (!runTool(tool, arguments))
        return;

    // Read by name: the tool may have replaced the file rather than written it.
    QFile result(programFile.fileName());
    if (!result.open(QIODevice::ReadOnly)) {
        showWarning(tr("Error"), tr("Error open result file"));
        return;
    }
    if (result.size() > MaxProgramBytes) {
        showWarning(tr("Error"),
                    tr("The program editor saved %1 bytes, more than a special program can hold (%2 bytes). "
                       "Nothing was changed.")
                        .arg(result.size())
                        .arg(MaxProgramBytes));
        return;
    }
    // Bounded also when the size says nothing (a device, a pipe).
    const QByteArray program = result.read(MaxProgramBytes + 1);
    if (program.isEmpty())
        return;
    const QString fault = program.size() > MaxProgramBytes
        ? tr("more than %1 bytes").arg(MaxProgramBytes)
        : programFault(program);
    if (!fault.isEmpty()) {
        showWarning(tr("Error"),
                    tr("The program editor saved no special program: %1. Nothing was changed.").arg(fault));
        return;
    }

    QTableWidgetItem* target = ui->states->item(row, SpecialProgramColumn);
    if (!target) {
        target = new QTableWidgetItem;
        target->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        target->setData(Qt::UserRole, program);
        target->setText(tr("defined"));
        ui->states->setItem(row, SpecialProgramColumn, target);
    } else {
        // Changing the data alone is a change too: the other columns empty
        // even when the text was "defined" already.
        target->setData(Qt::UserRole, program);
        target->setText(tr("defined"));
    }
}

QByteArray ControllersStateEditdlg::readConfig(quint32 controllerId)
{
    QVariant reply;
    const bool called = m_rpcObject &&
        QMetaObject::invokeMethod(m_rpcObject, "invoke", Qt::DirectConnection, Q_RETURN_ARG(QVariant, reply),
                                  Q_ARG(QString, QStringLiteral("getConfig")),
                                  Q_ARG(QVariantList, QVariantList{QString::number(controllerId)}));
    if (!called) {
        showWarning(tr("Error"), tr("When calling method 'getConfig' error occurred in storage service"));
        return QByteArray();
    }

    const QByteArray bytes = reply.toByteArray();
    static const QByteArray errorOpen("<Error>");
    static const QByteArray errorClose("</Error>");
    if (bytes.startsWith(errorOpen)) {
        const int end = bytes.indexOf(errorClose, errorOpen.size());
        if (end >= 0)
            showWarning(tr("Error"), QString::fromUtf8(bytes.mid(errorOpen.size(), end - errorOpen.size())));
        else
            showWarning(tr("Error"), tr("Storage service return empty data"));
        return QByteArray();
    }
    if (bytes.isEmpty())
        showWarning(tr("Error"), tr("Storage service return empty data"));
    return bytes;
}

bool ControllersStateEditdlg::runTool(const QString& tool, const QStringList& arguments)
{
    QString reason;
    if (Velmora::Editors::ProgramEditorRun::run(tool, arguments, this, &reason))
        return true;
    if (!reason.isEmpty())
        showWarning(tr("Error"), reason);
    return false;
}

void ControllersStateEditdlg::showWarning(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.exec();
}
