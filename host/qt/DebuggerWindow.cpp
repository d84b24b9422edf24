#include "host/qt/DebuggerWindow.h"

#include "core/Kernel.h"
#include "core/Memory.h"
#include "debug/EventText.h"
#include "host/qt/QtText.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

const QColor kChangedColor(255, 220, 120);
const QColor kCurrentLineColor(200, 230, 255);
const QColor kBreakpointColor(190, 30, 30);
// The kinds of watchpoint in the list and the field's choice, as EWatchKind orders them.
const QString kWatchKindNames[] = {"Write", "Read", "Access"};

QString Hex32(uint32_t value) {
    return QString("%1").arg(value, 8, 16, QChar('0'));
}

// NAME.sym beside NAME.disk, when that file exists.
std::string SymbolsBeside(const std::string& image) {
    if (image.empty())
        return {};
    std::error_code error;
    const std::filesystem::path path = std::filesystem::path(image).replace_extension(".sym");
    return std::filesystem::is_regular_file(path, error) ? path.string() : std::string();
}

QTableWidgetItem* Cell(const QString& text, bool editable = false) {
    auto* item = new QTableWidgetItem(text);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable)
        flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    return item;
}

// The first cell of a breakpoint's or watchpoint's row: a box that switches it on and off.
QTableWidgetItem* EnabledCell(bool enabled) {
    QTableWidgetItem* item = Cell("");
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(enabled ? Qt::Checked : Qt::Unchecked);
    return item;
}

QTableWidget* MakeTable(int columns, const QStringList& headers, QWidget* parent) {
    auto* table = new QTableWidget(0, columns, parent);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return table;
}

// What the register view shows: the width of a general register and how it reads.
struct SRegisterWidth {
    const char* name;
    uint32_t size;
    const char* suffix; // the expression suffix that reads it
    bool isFloat;
};
constexpr SRegisterWidth kRegisterWidths[] = {
    {"Dwords", 4, ".32", false},
    {"Words", 2, ".16", false},
    {"Bytes", 1, ".8", false},
    {"Floats", 4, ".f32", true},
};

} // namespace

CDebuggerWindow::CDebuggerWindow(std::function<void()> wake, std::function<void()> opener,
                                 QWidget* parent)
    : QMainWindow(parent, Qt::Window), wake(std::move(wake)), opener(std::move(opener)) {
    setObjectName("debuggerWindow");
    setWindowTitle(kTitle);
    // The question does not hold the window: the failed machine runs nothing anyway.
    faultQuestion = [this](const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Question, kTitle, text,
                                    QMessageBox::Yes | QMessageBox::No, parentWidget());
        box->setObjectName("faultQuestion");
        box->setDefaultButton(QMessageBox::Yes);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        connect(box, &QMessageBox::finished, this, [this](int result) {
            if (result == QMessageBox::Yes)
                ShowAtStop();
        });
        box->show();
    };

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(BuildDisassembly());
    tabs = new QTabWidget(splitter);
    tabs->addTab(BuildRegisters(), "&Registers");
    tabs->addTab(BuildMemory(), "&Memory");
    stack = new QListWidget(tabs);
    stack->setObjectName("stackView");
    stack->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    tabs->addTab(stack, "&Stack");
    events = new QListWidget(tabs);
    events->setObjectName("eventView");
    tabs->addTab(events, "&Events");
    tabs->addTab(BuildBreakpoints(), "&Breakpoints");
    trace = new QListWidget(tabs);
    trace->setObjectName("traceView");
    trace->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    tabs->addTab(trace, "&Trace");
    log = new QPlainTextEdit(tabs);
    log->setObjectName("logView");
    log->setReadOnly(true);
    log->setMaximumBlockCount(kLogLines);
    log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    tabs->addTab(log, "&Log");
    splitter->addWidget(tabs);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    // At first the disassembly shows its four columns whole; the tabs take the rest.
    splitter->setSizes({540, 680});
    setCentralWidget(splitter);

    BuildActions();
    liveRefresh = new QTimer(this);
    liveRefresh->setInterval(kLiveRefreshMs);
    connect(liveRefresh, &QTimer::timeout, this, &CDebuggerWindow::RefreshWhileRunning);
    status = new QLabel(this);
    status->setObjectName("debuggerStatus");
    statusBar()->addWidget(status, 1);
    resize(1220, 620);
    Refresh();
}

CDebuggerWindow::~CDebuggerWindow() = default;

void CDebuggerWindow::BuildActions() {
    QToolBar* bar = addToolBar("Run");
    bar->setObjectName("debuggerToolBar");
    auto add = [this, bar](const QString& text, const char* name, QKeySequence key, auto slot) {
        QAction* action = bar->addAction(text);
        action->setObjectName(name);
        action->setShortcut(key);
        // The shortcuts belong to this window: the main window keeps sending F5 and the
        // rest to the program.
        action->setShortcutContext(Qt::WindowShortcut);
        action->setToolTip(text + " (" + key.toString() + ")");
        connect(action, &QAction::triggered, this, slot);
    };
    add("Continue/Pause", "actionContinue", QKeySequence(Qt::Key_F5),
        &CDebuggerWindow::ContinueOrPause);
    add("Step Into", "actionStepInto", QKeySequence(Qt::Key_F11), &CDebuggerWindow::StepInto);
    add("Step Over", "actionStepOver", QKeySequence(Qt::Key_F10), &CDebuggerWindow::StepOver);
    add("Step Out", "actionStepOut", QKeySequence(Qt::SHIFT | Qt::Key_F11),
        &CDebuggerWindow::StepOut);
    add("Step Back", "actionStepBack", QKeySequence(Qt::SHIFT | Qt::Key_F10),
        &CDebuggerWindow::StepBack);
    add("Reverse Continue", "actionReverseContinue", QKeySequence(Qt::SHIFT | Qt::Key_F5),
        &CDebuggerWindow::ReverseContinue);
    add("Toggle Breakpoint", "actionToggleBreakpoint", QKeySequence(Qt::Key_F9),
        &CDebuggerWindow::ToggleBreakpointAtCursor);
    bar->addSeparator();
    QAction* symbols = bar->addAction("Load Symbols...");
    symbols->setObjectName("actionDebuggerLoadSymbols");
    connect(symbols, &QAction::triggered, this, &CDebuggerWindow::ChooseSymbols);
}

QWidget* CDebuggerWindow::BuildDisassembly() {
    disassembly = MakeTable(5, {"", "Address", "Label", "Instruction", "Source"}, this);
    disassembly->setObjectName("disassemblyView");
    disassembly->setEditTriggers(QAbstractItemView::NoEditTriggers);
    disassembly->horizontalHeader()->setStretchLastSection(true);
    // The margin: breakpoint marks, toggled by a click.
    disassembly->horizontalHeader()->setMinimumSectionSize(18);
    disassembly->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    disassembly->setColumnWidth(0, 18);
    disassembly->setColumnWidth(1, 80);
    disassembly->setColumnWidth(2, 80);
    disassembly->setColumnWidth(3, 220);
    connect(disassembly, &QTableWidget::cellClicked, this, &CDebuggerWindow::DisassemblyClicked);
    return disassembly;
}

QWidget* CDebuggerWindow::BuildRegisters() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    registerWidth = new QComboBox(page);
    registerWidth->setObjectName("registerWidth");
    for (const SRegisterWidth& width : kRegisterWidths)
        registerWidth->addItem(width.name);
    connect(registerWidth, &QComboBox::currentIndexChanged, this, [this] { FillRegisters(); });
    layout->addWidget(registerWidth);
    registers = MakeTable(3, {"Register", "Hex", "Value"}, page);
    registers->setObjectName("registerView");
    registers->horizontalHeader()->setStretchLastSection(true);
    connect(registers, &QTableWidget::cellChanged, this, &CDebuggerWindow::EditRegister);
    layout->addWidget(registers);
    return page;
}

QWidget* CDebuggerWindow::BuildMemory() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Go to:", page));
    memoryAddress = new QLineEdit(page);
    memoryAddress->setObjectName("memoryAddress");
    memoryAddress->setPlaceholderText("address, label or expression");
    connect(memoryAddress, &QLineEdit::returnPressed, this,
            [this] { ShowMemoryAt(memoryAddress->text()); });
    row->addWidget(memoryAddress);
    auto* watch = new QAction("Watch Selected Bytes", page);
    watch->setObjectName("actionWatchMemory");
    watch->setToolTip("Pause right after an instruction changes the selected bytes");
    connect(watch, &QAction::triggered, this, [this] { WatchSelectedMemory(EWatchKind::Write); });
    auto* watchReads = new QAction("Watch Reads of Selected Bytes", page);
    watchReads->setObjectName("actionWatchMemoryReads");
    watchReads->setToolTip("Pause right after an instruction reads any of the selected bytes");
    connect(watchReads, &QAction::triggered, this,
            [this] { WatchSelectedMemory(EWatchKind::Read); });
    auto* watchAccesses = new QAction("Watch Reads and Changes of Selected Bytes", page);
    watchAccesses->setObjectName("actionWatchMemoryAccesses");
    watchAccesses->setToolTip(
        "Pause right after an instruction reads or changes any of the selected bytes");
    connect(watchAccesses, &QAction::triggered, this,
            [this] { WatchSelectedMemory(EWatchKind::Access); });
    auto* watchButton = new QPushButton("Watch", page);
    connect(watchButton, &QPushButton::clicked, watch, &QAction::trigger);
    row->addWidget(watchButton);
    layout->addLayout(row);
    QStringList headers{"Address"};
    for (int i = 0; i < 16; ++i)
        headers << QString("%1").arg(i, 0, 16).toUpper();
    headers << "Text";
    memory = MakeTable(18, headers, page);
    memory->setObjectName("memoryView");
    memory->setSelectionBehavior(QAbstractItemView::SelectItems);
    memory->horizontalHeader()->setStretchLastSection(true);
    memory->setColumnWidth(0, 72);
    for (int i = 1; i <= 16; ++i)
        memory->setColumnWidth(i, 22);
    connect(memory, &QTableWidget::cellChanged, this, &CDebuggerWindow::EditMemory);
    memory->addAction(watch);
    memory->addAction(watchReads);
    memory->addAction(watchAccesses);
    memory->setContextMenuPolicy(Qt::ActionsContextMenu);
    layout->addWidget(memory);
    return page;
}

QWidget* CDebuggerWindow::BuildBreakpoints() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    breakpoints = MakeTable(5, {"On", "#", "Address", "Where", "Condition / hits"}, page);
    breakpoints->setObjectName("breakpointView");
    breakpoints->setEditTriggers(QAbstractItemView::NoEditTriggers);
    breakpoints->horizontalHeader()->setStretchLastSection(true);
    connect(breakpoints, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling || !Attached() || item->column() != 0)
            return;
        const int id = breakpoints->item(item->row(), 1)->text().toInt();
        debugger->EnableBreakpoint(id, item->checkState() == Qt::Checked);
        FillDisassembly();
    });
    layout->addWidget(breakpoints);
    auto* row = new QHBoxLayout;
    breakpointField = new QLineEdit(page);
    breakpointField->setObjectName("breakpointField");
    breakpointField->setPlaceholderText("address or label [if condition], e.g. loop if r0 == 3");
    connect(breakpointField, &QLineEdit::returnPressed, this,
            &CDebuggerWindow::AddBreakpointFromField);
    row->addWidget(breakpointField);
    auto* add = new QPushButton("Add", page);
    connect(add, &QPushButton::clicked, this, &CDebuggerWindow::AddBreakpointFromField);
    row->addWidget(add);
    auto* remove = new QPushButton("Remove", page);
    connect(remove, &QPushButton::clicked, this, &CDebuggerWindow::RemoveSelectedBreakpoint);
    row->addWidget(remove);
    layout->addLayout(row);

    // Wrapped, so that the list's explanation does not widen the tabs.
    auto* watchHelp = new QLabel("Watchpoints: pause right after an instruction changes the "
                                 "bytes (Write), reads any of them (Read), or either (Access)",
                                 page);
    watchHelp->setWordWrap(true);
    layout->addWidget(watchHelp);
    watchpoints = MakeTable(6, {"On", "#", "Kind", "Address", "Bytes", "Where / hits"}, page);
    watchpoints->setObjectName("watchpointView");
    watchpoints->setEditTriggers(QAbstractItemView::NoEditTriggers);
    watchpoints->horizontalHeader()->setStretchLastSection(true);
    connect(watchpoints, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling || !Attached() || item->column() != 0)
            return;
        const int id = watchpoints->item(item->row(), 1)->text().toInt();
        debugger->EnableWatchpoint(id, item->checkState() == Qt::Checked);
    });
    layout->addWidget(watchpoints);
    auto* watchRow = new QHBoxLayout;
    watchpointField = new QLineEdit(page);
    watchpointField->setObjectName("watchpointField");
    watchpointField->setPlaceholderText("address or label[:bytes], e.g. count:4");
    connect(watchpointField, &QLineEdit::returnPressed, this,
            &CDebuggerWindow::AddWatchpointFromField);
    watchRow->addWidget(watchpointField);
    watchpointKind = new QComboBox(page);
    watchpointKind->setObjectName("watchpointKind");
    for (const QString& kind : kWatchKindNames)
        watchpointKind->addItem(kind);
    watchpointKind->setToolTip("What an instruction does to the bytes to pause the program");
    watchRow->addWidget(watchpointKind);
    auto* addWatch = new QPushButton("Add", page);
    connect(addWatch, &QPushButton::clicked, this, &CDebuggerWindow::AddWatchpointFromField);
    watchRow->addWidget(addWatch);
    auto* removeWatch = new QPushButton("Remove", page);
    removeWatch->setObjectName("removeWatchpoint");
    connect(removeWatch, &QPushButton::clicked, this, &CDebuggerWindow::RemoveSelectedWatchpoint);
    watchRow->addWidget(removeWatch);
    layout->addLayout(watchRow);
    return page;
}

// --- The machine -------------------------------------------------------------------------

void CDebuggerWindow::AttachKernel(CKernel* kernel, const std::string& imagePath) {
    // Breakpoints and watchpoints outlive a reset: the same program is likely to boot again.
    if (debugger) {
        keptBreakpoints.clear();
        for (const SBreakpoint& b : debugger->GetBreakpoints())
            keptBreakpoints.push_back({b.address, b.condition.GetText(), b.enabled});
        keptWatchpoints.clear();
        for (const SWatchpoint& w : debugger->GetWatchpoints())
            keptWatchpoints.push_back({w.address, w.length, w.kind, w.enabled});
    }
    debugger.reset();
    if (kernel) {
        debugger = std::make_unique<CDebugger>(*kernel);
        tracing = isVisible();
        debugger->SetTraceLength(tracing ? kTraceLength : 0);
        std::string error;
        const std::string symbols = SymbolsBeside(imagePath);
        if (!symbols.empty() && !LoadSymbols(symbols, 0, error))
            log->appendPlainText(QString("symbols: %1").arg(HostTextToQString(error)));
        for (const SKeptBreakpoint& b : keptBreakpoints) {
            const int id = debugger->AddBreakpoint(b.address, b.condition, error);
            if (id != 0 && !b.enabled)
                debugger->EnableBreakpoint(id, false);
        }
        for (const SKeptWatchpoint& w : keptWatchpoints) {
            const int id = debugger->AddWatchpoint(w.address, w.length, error, w.kind);
            if (id != 0 && !w.enabled)
                debugger->EnableWatchpoint(id, false);
        }
        std::memcpy(shownRegisters.data(), kernel->GetMemory().GetRegisters(),
                    shownRegisters.size());
        previousRegisters = shownRegisters;
        KeepHistoryWhileShown();
    }
    Refresh();
}

void CDebuggerWindow::KeepHistoryWhileShown() {
    CMachine* machine = Attached() ? debugger->GetKernel().GetMachine() : nullptr;
    if (gate && machine && isVisible() && !debugger->HasHistory())
        debugger->KeepHistory(*machine, *gate);
}

bool CDebuggerWindow::RunSlice(std::string& message) {
    message.clear();
    return debugger ? debugger->RunSlice(message) : true;
}

void CDebuggerWindow::AfterTurn() {
    if (!Attached())
        return;
    SDebugStopInfo stop;
    if (!debugger->TakeStop(stop))
        return;
    previousRegisters = shownRegisters;
    std::memcpy(shownRegisters.data(), debugger->GetMemory().GetRegisters(), shownRegisters.size());
    if (stop.kind == EDebugStop::Fault && !isVisible()) {
        const QString where = QString::fromStdString(debugger->DescribeAddress(stop.address));
        const QString text =
            QString("The program stopped: %1\nat 0x%2%3.\n\nOpen the debugger at that "
                    "instruction?")
                .arg(MachineToQString(stop.message), Hex32(stop.address),
                     where.isEmpty() ? QString() : " (" + where + ")");
        if (faultQuestion)
            faultQuestion(text);
        return;
    }
    if (stop.kind != EDebugStop::Finished && !isVisible())
        ShowAtStop();
    else if (isVisible())
        Refresh();
}

void CDebuggerWindow::ShowAtStop() {
    if (!isVisible()) {
        if (opener)
            opener();
        else
            show();
    }
    Refresh();
    raise();
}

void CDebuggerWindow::LogMessage(const std::string& message) {
    const uint64_t count = Attached() ? debugger->GetKernel().GetInstructionCount() : 0;
    log->appendPlainText(QString("%1  %2").arg(count, 12).arg(MachineToQString(message)));
}

bool CDebuggerWindow::LoadSymbols(const std::string& path, uint32_t offset, std::string& error) {
    if (!Attached()) {
        error = "no machine runs";
        return false;
    }
    CSymbolFile symbols;
    if (!symbols.Load(path, error))
        return false;
    if (offset != 0)
        symbols.Relocate(offset);
    debugger->SetSymbols(std::move(symbols));
    log->appendPlainText(
        QString("symbols from %1 at 0x%2").arg(FileNameToQString(path), Hex32(offset)));
    Refresh();
    return true;
}

void CDebuggerWindow::ChooseSymbols() {
    const QString path = QFileDialog::getOpenFileName(this, "Load Symbols", QString(),
                                                      "Symbol files (*.sym);;All files (*)");
    if (path.isEmpty())
        return;
    bool ok = false;
    const QString offsetText = QInputDialog::getText(
        this, "Load Symbols",
        "Address the program was loaded at (0 for a boot image):", QLineEdit::Normal, "0", &ok);
    if (!ok)
        return;
    uint32_t offset = 0;
    std::string error;
    if (Attached() &&
        !debugger->ResolveAddress(offsetText.trimmed().toStdString(), offset, error)) {
        QMessageBox::warning(this, kTitle, HostTextToQString(error));
        return;
    }
    if (!LoadSymbols(QStringToFileName(path), offset, error))
        QMessageBox::warning(this, kTitle, HostTextToQString(error));
}

// --- Run control -------------------------------------------------------------------------

void CDebuggerWindow::Resume(void (CDebugger::*command)()) {
    if (!Attached() || !debugger->GetKernel().IsRunning())
        return;
    (debugger.get()->*command)();
    status->setText("Running");
    if (wake)
        wake();
}

void CDebuggerWindow::ContinueOrPause() {
    if (!Attached())
        return;
    if (!debugger->IsPaused()) {
        debugger->Pause();
        AfterTurn();
        return;
    }
    Resume(&CDebugger::Continue);
}

void CDebuggerWindow::StepInto() {
    if (Attached() && debugger->IsPaused())
        Resume(&CDebugger::StepInto);
}

void CDebuggerWindow::StepOver() {
    if (Attached() && debugger->IsPaused())
        Resume(&CDebugger::StepOver);
}

void CDebuggerWindow::StepOut() {
    if (Attached() && debugger->IsPaused())
        Resume(&CDebugger::StepOut);
}

void CDebuggerWindow::StepBack() {
    GoBack(&CDebugger::StepBack);
}

void CDebuggerWindow::ReverseContinue() {
    GoBack(&CDebugger::ReverseContinue);
}

void CDebuggerWindow::GoBack(bool (CDebugger::*command)(std::string& error)) {
    if (!Attached())
        return;
    std::string error;
    if ((debugger.get()->*command)(error))
        AfterTurn();
    else
        status->setText(HostTextToQString(error));
}

void CDebuggerWindow::ToggleBreakpointAtCursor() {
    if (!Attached())
        return;
    const int row = disassembly->currentRow();
    const uint32_t address = row >= 0 && static_cast<size_t>(row) < disassemblyAddresses.size()
                                 ? disassemblyAddresses[static_cast<size_t>(row)]
                                 : debugger->GetKernel().GetIP();
    debugger->ToggleBreakpoint(address);
    FillDisassembly();
    FillBreakpoints();
}

void CDebuggerWindow::DisassemblyClicked(int row, int column) {
    if (column != 0 || !Attached() || row < 0 ||
        static_cast<size_t>(row) >= disassemblyAddresses.size())
        return;
    debugger->ToggleBreakpoint(disassemblyAddresses[static_cast<size_t>(row)]);
    FillDisassembly();
    FillBreakpoints();
}

void CDebuggerWindow::AddBreakpointFromField() {
    if (!Attached())
        return;
    const std::string text = breakpointField->text().trimmed().toStdString();
    const size_t ifAt = text.find(" if ");
    const std::string where = text.substr(0, ifAt);
    const std::string condition = ifAt == std::string::npos ? "" : text.substr(ifAt + 4);
    uint32_t address = 0;
    std::string error;
    if (!debugger->ResolveAddress(where, address, error) ||
        debugger->AddBreakpoint(address, condition, error) == 0) {
        status->setText(HostTextToQString(error));
        return;
    }
    breakpointField->clear();
    FillBreakpoints();
    FillDisassembly();
}

void CDebuggerWindow::RemoveSelectedBreakpoint() {
    const int row = breakpoints->currentRow();
    if (!Attached() || row < 0)
        return;
    debugger->RemoveBreakpoint(breakpoints->item(row, 1)->text().toInt());
    FillBreakpoints();
    FillDisassembly();
}

void CDebuggerWindow::AddWatchpoint(uint32_t address, uint32_t length, EWatchKind kind) {
    std::string error;
    if (!Attached() || debugger->AddWatchpoint(address, length, error, kind) == 0) {
        status->setText(HostTextToQString(error));
        return;
    }
    FillWatchpoints();
}

void CDebuggerWindow::AddWatchpointFromField() {
    if (!Attached())
        return;
    // WHERE[:BYTES]; an address or label has no colon of its own.
    const std::string text = watchpointField->text().trimmed().toStdString();
    const size_t colon = text.rfind(':');
    const std::string where = text.substr(0, colon);
    uint32_t address = 0;
    uint32_t length = 1;
    std::string error;
    if (colon != std::string::npos) {
        bool ok = false;
        length = QString::fromStdString(text.substr(colon + 1)).trimmed().toUInt(&ok, 0);
        if (!ok || length == 0) {
            status->setText("not a byte count: " + QString::fromStdString(text.substr(colon + 1)));
            return;
        }
    }
    if (!debugger->ResolveAddress(where, address, error)) {
        status->setText(HostTextToQString(error));
        return;
    }
    watchpointField->clear();
    AddWatchpoint(address, length, static_cast<EWatchKind>(watchpointKind->currentIndex()));
}

void CDebuggerWindow::WatchSelectedMemory(EWatchKind kind) {
    if (!Attached())
        return;
    // From the first selected byte to the last (the current byte when none is selected).
    std::vector<uint32_t> addresses;
    const auto byteAt = [this](int row, int column) {
        return memoryStart + static_cast<uint32_t>(row) * 16 + static_cast<uint32_t>(column - 1);
    };
    for (const QTableWidgetItem* item : memory->selectedItems())
        if (item->column() >= 1 && item->column() <= 16)
            addresses.push_back(byteAt(item->row(), item->column()));
    if (addresses.empty() && memory->currentColumn() >= 1 && memory->currentColumn() <= 16)
        addresses.push_back(byteAt(memory->currentRow(), memory->currentColumn()));
    if (addresses.empty()) {
        status->setText("Select the bytes to watch in the memory view");
        return;
    }
    const auto [first, last] = std::minmax_element(addresses.begin(), addresses.end());
    AddWatchpoint(*first, *last - *first + 1, kind);
}

void CDebuggerWindow::RemoveSelectedWatchpoint() {
    const int row = watchpoints->currentRow();
    if (!Attached() || row < 0)
        return;
    debugger->RemoveWatchpoint(watchpoints->item(row, 1)->text().toInt());
    FillWatchpoints();
}

void CDebuggerWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    liveRefresh->start();
    // The trace costs a check per instruction: kept only while someone looks.
    if (Attached() && !tracing)
        debugger->SetTraceLength(kTraceLength);
    tracing = true;
    KeepHistoryWhileShown();
    Refresh();
}

void CDebuggerWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    liveRefresh->stop();
    if (Attached())
        debugger->SetTraceLength(0);
    tracing = false;
}

// --- The views ---------------------------------------------------------------------------

void CDebuggerWindow::Refresh() {
    ShowStopStatus();
    FillDisassembly();
    FillRegisters();
    FillMemory();
    FillStack();
    FillEvents();
    FillBreakpoints();
    FillWatchpoints();
    FillTrace();
}

void CDebuggerWindow::RefreshWhileRunning() {
    if (!Attached() || debugger->IsPaused() || !debugger->GetKernel().IsRunning())
        return;
    // A value being typed into a view is not overwritten.
    const QWidget* focus = QApplication::focusWidget();
    for (const QWidget* view : {static_cast<QWidget*>(registers), static_cast<QWidget*>(memory)})
        if (focus && focus != view && view->isAncestorOf(focus))
            return;
    Refresh();
}

void CDebuggerWindow::ShowStopStatus() {
    if (!Attached()) {
        status->setText("No machine");
        return;
    }
    if (!debugger->IsPaused()) {
        status->setText("Running");
        return;
    }
    const SDebugStopInfo& stop = debugger->GetLastStop();
    const uint32_t ip = debugger->GetKernel().GetIP();
    QString text;
    switch (stop.kind) {
    case EDebugStop::Break:
        text = QString("Breakpoint %1").arg(stop.id);
        break;
    case EDebugStop::Watch:
        text = QString("Watchpoint %1 (%2 by 0x%3)")
                   .arg(stop.id)
                   .arg(stop.read ? "read" : "written")
                   .arg(Hex32(stop.address));
        break;
    case EDebugStop::Fault:
        text = "Failed: " + MachineToQString(stop.message);
        break;
    case EDebugStop::Finished:
        text = "Stopped: " + MachineToQString(stop.message);
        break;
    case EDebugStop::Step:
        text = debugger->IsInPast() ? "Stepped (in the past)" : "Stepped";
        break;
    case EDebugStop::Oldest:
        text = "No hit before; the oldest instruction kept";
        break;
    default:
        text = "Paused";
        break;
    }
    const QString where = QString::fromStdString(debugger->DescribeAddress(ip));
    text += QString(" at 0x%1%2, %3 instructions")
                .arg(Hex32(ip), where.isEmpty() ? QString() : " (" + where + ")")
                .arg(debugger->GetKernel().GetInstructionCount());
    if (!stop.message.empty() && stop.kind == EDebugStop::Break)
        text += " - " + QString::fromStdString(stop.message);
    status->setText(text);
}

uint32_t CDebuggerWindow::RowAddress(int row) const {
    return row >= 0 && static_cast<size_t>(row) < disassemblyAddresses.size()
               ? disassemblyAddresses[static_cast<size_t>(row)]
               : 0;
}

void CDebuggerWindow::FillDisassembly() {
    disassemblyAddresses.clear();
    disassembly->setRowCount(0);
    if (!Attached())
        return;
    const uint32_t ip = debugger->GetKernel().GetIP();
    // Instructions cannot be decoded backwards; the symbols know where the ones before IP
    // begin, and the trace knows those that ran.
    std::vector<uint32_t> before;
    const auto& lines = debugger->GetSymbols().GetLines();
    debugger->GetSymbols().LineAt(ip); // sorts the lines
    for (const CSymbolFile::SLine& line : lines)
        if (line.address < ip)
            before.push_back(line.address);
    if (before.empty())
        for (uint32_t head : debugger->GetTrace())
            if (head < ip && (before.empty() || head > before.back()))
                before.push_back(head);
    std::sort(before.begin(), before.end());
    before.erase(std::unique(before.begin(), before.end()), before.end());
    if (before.size() > static_cast<size_t>(kRowsBeforeIp))
        before.erase(before.begin(), before.end() - kRowsBeforeIp);
    // Only heads that decode in a chain reaching IP.
    uint32_t start = ip;
    for (uint32_t head : before) {
        uint32_t at = head;
        for (int n = 0; n < kRowsBeforeIp && at < ip; ++n)
            at += debugger->Disassemble(at).instruction.length;
        if (at == ip) {
            start = head;
            break;
        }
    }
    std::vector<SDebugLine> shown = debugger->DisassembleFrom(start, kDisassemblyRows);
    std::vector<uint32_t> marked;
    for (const SBreakpoint& b : debugger->GetBreakpoints())
        marked.push_back(b.enabled ? b.address : ~b.address);
    disassembly->setRowCount(static_cast<int>(shown.size()));
    int current = -1;
    for (size_t i = 0; i < shown.size(); ++i) {
        const SDebugLine& line = shown[i];
        const int row = static_cast<int>(i);
        disassemblyAddresses.push_back(line.address);
        const bool on = std::find(marked.begin(), marked.end(), line.address) != marked.end();
        const bool off = std::find(marked.begin(), marked.end(), ~line.address) != marked.end();
        QTableWidgetItem* mark = Cell(on ? "\u25CF" : off ? "\u25CB" : "");
        mark->setForeground(kBreakpointColor);
        mark->setTextAlignment(Qt::AlignCenter);
        disassembly->setItem(row, 0, mark);
        disassembly->setItem(row, 1, Cell(Hex32(line.address)));
        disassembly->setItem(row, 2, Cell(QString::fromStdString(line.label)));
        disassembly->setItem(row, 3, Cell(QString::fromStdString(line.instruction.text)));
        disassembly->setItem(row, 4, Cell(QString::fromStdString(line.source)));
        if (line.address == ip) {
            current = row;
            for (int c = 0; c < disassembly->columnCount(); ++c)
                disassembly->item(row, c)->setBackground(kCurrentLineColor);
            disassembly->item(row, 1)->setText("\u25B6" + Hex32(line.address));
        }
    }
    if (current >= 0)
        disassembly->scrollToItem(disassembly->item(current, 1));
}

void CDebuggerWindow::FillRegisters() {
    filling = true;
    registers->setRowCount(0);
    if (Attached()) {
        const SRegisterWidth& width = kRegisterWidths[std::max(0, registerWidth->currentIndex())];
        const uint8_t* block = debugger->GetMemory().GetRegisters();
        struct SRow {
            QString name;
            uint32_t offset, size;
            bool isFloat;
        };
        std::vector<SRow> rows;
        for (uint32_t offset = 0; offset < kRegisterSP; offset += width.size)
            rows.push_back({QString("r%1").arg(offset), offset, width.size, width.isFloat});
        rows.push_back({"SP", kRegisterSP, 4, false});
        rows.push_back({"BASE", kRegisterBASE, 4, false});
        rows.push_back({"IP", kRegisterIP, 4, false});
        registers->setRowCount(static_cast<int>(rows.size()));
        for (size_t i = 0; i < rows.size(); ++i) {
            const SRow& r = rows[i];
            const int row = static_cast<int>(i);
            uint32_t raw = 0;
            std::memcpy(&raw, block + r.offset, r.size);
            QString value;
            if (r.isFloat) {
                float f;
                std::memcpy(&f, &raw, 4);
                value = QString::number(f, 'g', 9);
            } else {
                const int64_t signedValue = r.size == 1   ? static_cast<int8_t>(raw)
                                            : r.size == 2 ? static_cast<int16_t>(raw)
                                                          : static_cast<int32_t>(raw);
                value = raw == static_cast<uint64_t>(signedValue)
                            ? QString::number(raw)
                            : QString("%1 (%2)").arg(raw).arg(signedValue);
            }
            QTableWidgetItem* name = Cell(r.name);
            name->setData(Qt::UserRole, r.offset);
            registers->setItem(row, 0, name);
            registers->setItem(
                row, 1,
                Cell(QString("%1").arg(raw, static_cast<int>(r.size * 2), 16, QChar('0')), true));
            registers->setItem(row, 2, Cell(value, true));
            const bool changed = std::memcmp(shownRegisters.data() + r.offset,
                                             previousRegisters.data() + r.offset, r.size) != 0;
            if (changed)
                for (int c = 0; c < 3; ++c)
                    registers->item(row, c)->setBackground(kChangedColor);
        }
    }
    filling = false;
}

void CDebuggerWindow::EditRegister(int row, int column) {
    if (filling || !Attached() || column == 0)
        return;
    const SRegisterWidth& width = kRegisterWidths[std::max(0, registerWidth->currentIndex())];
    const QString name = registers->item(row, 0)->text();
    const uint32_t offset = registers->item(row, 0)->data(Qt::UserRole).toUInt();
    QString place = name.toLower();
    if (offset < kRegisterSP)
        place += width.suffix;
    QString value = registers->item(row, column)->text().trimmed();
    // The hex column takes hex digits without their prefix.
    if (column == 1 && !value.startsWith("0x", Qt::CaseInsensitive))
        value = "0x" + value;
    std::string error;
    if (!debugger->Assign(place.toStdString(), value.toStdString(), error))
        status->setText(HostTextToQString(error));
    std::memcpy(shownRegisters.data(), debugger->GetMemory().GetRegisters(), shownRegisters.size());
    // Refreshed once Qt has finished with the edited cell.
    QMetaObject::invokeMethod(
        this, [this] { Refresh(); }, Qt::QueuedConnection);
}

void CDebuggerWindow::ShowMemoryAt(const QString& where) {
    if (!Attached())
        return;
    uint32_t address = 0;
    std::string error;
    if (!debugger->ResolveAddress(where.trimmed().toStdString(), address, error)) {
        status->setText(HostTextToQString(error));
        return;
    }
    memoryStart = address & ~15u;
    FillMemory();
    memory->setCurrentCell(0, static_cast<int>(address & 15u) + 1);
}

void CDebuggerWindow::FillMemory() {
    filling = true;
    memory->setRowCount(0);
    if (Attached()) {
        memory->setRowCount(static_cast<int>(kMemoryRows));
        for (uint32_t r = 0; r < kMemoryRows; ++r) {
            const int row = static_cast<int>(r);
            const uint32_t address = memoryStart + r * 16;
            memory->setItem(row, 0, Cell(Hex32(address)));
            QString text;
            for (uint32_t i = 0; i < 16; ++i) {
                std::vector<uint8_t> byte;
                const bool readable = debugger->ReadBytes(address + i, 1, byte);
                memory->setItem(
                    row, static_cast<int>(i) + 1,
                    Cell(readable ? QString("%1").arg(byte[0], 2, 16, QChar('0')) : QString("--"),
                         readable));
                text += readable ? CellCharacter(byte[0]) : QChar(' ');
            }
            memory->setItem(row, 17, Cell(text));
        }
    }
    filling = false;
}

void CDebuggerWindow::EditMemory(int row, int column) {
    if (filling || !Attached() || column < 1 || column > 16)
        return;
    const uint32_t address =
        memoryStart + static_cast<uint32_t>(row) * 16 + static_cast<uint32_t>(column - 1);
    bool ok = false;
    const uint32_t value = memory->item(row, column)->text().trimmed().toUInt(&ok, 16);
    if (!ok || value > 0xFF || !debugger->WriteBytes(address, {static_cast<uint8_t>(value)}))
        status->setText(QString("not a byte for 0x%1").arg(Hex32(address)));
    QMetaObject::invokeMethod(
        this, [this] { Refresh(); }, Qt::QueuedConnection);
}

void CDebuggerWindow::FillStack() {
    stack->clear();
    if (!Attached())
        return;
    stack->addItem("Calls:");
    for (const SCallFrame& frame : debugger->GetCallStack())
        stack->addItem(QString("  0x%1  %2")
                           .arg(Hex32(frame.address), QString::fromStdString(frame.function)));
    // The machine stack grows upwards: the last dword pushed ends at SP.
    const CKernel& kernel = debugger->GetKernel();
    const uint32_t top = kernel.GetBASE() + kernel.GetSP();
    stack->addItem(QString("Stack (SP = 0x%1):").arg(Hex32(kernel.GetSP())));
    for (uint32_t n = 1; n <= 16 && top >= 4 * n; ++n) {
        std::vector<uint8_t> bytes;
        if (!debugger->ReadBytes(top - 4 * n, 4, bytes))
            break;
        uint32_t value;
        std::memcpy(&value, bytes.data(), 4);
        const QString where = QString::fromStdString(debugger->DescribeAddress(value));
        stack->addItem(QString("  0x%1: %2  %3").arg(Hex32(top - 4 * n), Hex32(value), where));
    }
}

void CDebuggerWindow::FillEvents() {
    events->clear();
    if (!Attached())
        return;
    const auto& queue = debugger->GetKernel().GetEvents();
    events->addItem(
        queue.empty() ? QString("No events wait.")
                      : QString("%1 event(s) wait for GETEVENT, oldest first:").arg(queue.size()));
    for (const CEvent& event : queue)
        events->addItem(QString("  %1.%2  %3")
                            .arg(event.GetGroup())
                            .arg(event.GetKind())
                            .arg(QString::fromStdString(DescribeEvent(event))));
}

void CDebuggerWindow::FillBreakpoints() {
    filling = true;
    breakpoints->setRowCount(0);
    if (Attached()) {
        const auto& list = debugger->GetBreakpoints();
        breakpoints->setRowCount(static_cast<int>(list.size()));
        for (size_t i = 0; i < list.size(); ++i) {
            const SBreakpoint& b = list[i];
            const int row = static_cast<int>(i);
            breakpoints->setItem(row, 0, EnabledCell(b.enabled));
            breakpoints->setItem(row, 1, Cell(QString::number(b.id)));
            breakpoints->setItem(row, 2, Cell(Hex32(b.address)));
            breakpoints->setItem(
                row, 3, Cell(QString::fromStdString(debugger->DescribeAddress(b.address))));
            QString condition = QString::fromStdString(b.condition.GetText());
            condition += QString(condition.isEmpty() ? "%1 hits" : ", %1 hits").arg(b.hits);
            breakpoints->setItem(row, 4, Cell(condition));
        }
    }
    filling = false;
}

void CDebuggerWindow::FillWatchpoints() {
    filling = true;
    watchpoints->setRowCount(0);
    if (Attached()) {
        const auto& list = debugger->GetWatchpoints();
        watchpoints->setRowCount(static_cast<int>(list.size()));
        for (size_t i = 0; i < list.size(); ++i) {
            const SWatchpoint& w = list[i];
            const int row = static_cast<int>(i);
            watchpoints->setItem(row, 0, EnabledCell(w.enabled));
            watchpoints->setItem(row, 1, Cell(QString::number(w.id)));
            watchpoints->setItem(row, 2, Cell(kWatchKindNames[static_cast<int>(w.kind)]));
            watchpoints->setItem(row, 3, Cell(Hex32(w.address)));
            watchpoints->setItem(row, 4, Cell(QString::number(w.length)));
            const QString where = QString::fromStdString(debugger->DescribeAddress(w.address));
            const QString hits = QString("%1 hits").arg(w.hits);
            watchpoints->setItem(row, 5, Cell(where.isEmpty() ? hits : where + ", " + hits));
        }
    }
    filling = false;
}

void CDebuggerWindow::FillTrace() {
    trace->clear();
    if (!Attached())
        return;
    for (uint32_t head : debugger->GetTrace()) {
        const SDebugLine line = debugger->Disassemble(head);
        trace->addItem(QString("0x%1  %2  %3")
                           .arg(Hex32(head), QString::fromStdString(line.instruction.text),
                                QString::fromStdString(debugger->DescribeAddress(head))));
    }
    trace->scrollToBottom();
}
