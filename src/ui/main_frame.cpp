#include "ui/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "engine/cqel_doc.h"
#include "ui/base_view.h"
#include "ui/control_ids.h"
#include "ui/controls/cqel_list_box.h"
#include "ui/log_attachment.h"
#include "ui/status_bar_attachment.h"

namespace velmora {
namespace {

const char* const kAppTitle = "Velmora USB-Programmer";
const char* const kPresetFilter = "Velmora USB-Programmer (*.upr)";
const char* const kPresetSuffix = "upr";

// The framework keys that have a handler; the remaining standard keys do nothing.
struct FrameKey {
  int command;
  const char* name;
  QKeyCombination key;  // empty: reachable only from a page button or the code
};
const FrameKey kFrameKeys[] = {
    {ctl::kFileNew, "New", QKeyCombination(Qt::CTRL, Qt::Key_N)},
    {ctl::kFileOpen, "Open", QKeyCombination(Qt::ALT, Qt::Key_O)},
    {ctl::kFileSave, "Save", QKeyCombination()},
    {ctl::kFileSaveAs, "Save As", QKeyCombination(Qt::ALT, Qt::Key_S)},
    {ctl::kFilePrint, "Print", QKeyCombination(Qt::CTRL, Qt::Key_P)},
    {ctl::kFilePrintPreview, "Print Preview", QKeyCombination()},
    {ctl::kFilePrintSetup, "Print Setup", QKeyCombination()},
};

}  // namespace

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (doc_.OperationRunning()) {
    doc_.RequestStop();
    // Questions of the operation's last steps (power switching) still need the event loop.
    while (doc_.OperationRunning()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    try {
      doc_.WaitForOperation();
    } catch (...) {
      // The window is closing; what escaped the operation has no one left to tell.
    }
  }
  QMainWindow::closeEvent(event);
}

CMainFrame::CMainFrame(CqelDoc& doc)
    : doc_(doc),
      log_(std::make_unique<LogAttachment>(doc.operationLog)),
      statusBar_(std::make_unique<StatusBarAttachment>(doc.progressBar)) {
  // No resizable border and no maximise box: only page switches change the size.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  stack_ = new QStackedWidget(this);
  setCentralWidget(stack_);
  CreateMenuAndKeys();
  UpdateTitle();

  auto* start = ViewFactories().at(kStartPage)(*this);
  start->Create();
  views_[kStartPage] = start;
  stack_->addWidget(start);
  stack_->setCurrentWidget(start);
  setFixedSize(start->frameWidth, start->frameHeight);

  // Operations end (often on a worker) by asking for the device controls to be refreshed.
  doc_.SetRefreshViewHandler([this] {
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (CBaseView* view = ActiveView()) view->SetupDeviceControls();
        },
        Qt::QueuedConnection);
  });
}

CMainFrame::~CMainFrame() {
  doc_.SetRefreshViewHandler(nullptr);
  AttachLogList(nullptr);
  AttachStatusBar(nullptr);
}

void CMainFrame::CreateMenuAndKeys() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(tr("E&xit"), this, &QWidget::close);
  for (const auto& key : kFrameKeys) {
    auto* action = new QAction(tr(key.name), this);
    action->setObjectName(QStringLiteral("cmd%1").arg(key.command));
    if (key.key.key() != Qt::Key_unknown) action->setShortcut(QKeySequence(key.key));
    const int command = key.command;
    connect(action, &QAction::triggered, this, [this, command] { OnFrameCommand(command); });
    addAction(action);
  }
}

bool CMainFrame::HasView(int type) {
  return ViewFactories().contains(type);
}

CBaseView* CMainFrame::ActiveView() const {
  return qobject_cast<CBaseView*>(stack_->currentWidget());
}

CBaseView* CMainFrame::FindView(int type) const {
  const auto it = views_.find(type);
  return it == views_.end() ? nullptr : it->second;
}

void CMainFrame::SwitchView(int type) {
  if (type == currentViewType || !HasView(type)) return;
  CBaseView* old = ActiveView();
  if (old && old->DeactivateView() != 0) return;

  setUpdatesEnabled(false);
  CBaseView* view = FindView(type);
  if (!view) {
    view = ViewFactories().at(type)(*this);
    view->Create();
    views_[type] = view;
    stack_->addWidget(view);
  }
  stack_->setCurrentWidget(view);
  view->ActivateView();
  view->update();
  currentViewId = type;
  currentViewType = type;
  setUpdatesEnabled(true);
}

void CMainFrame::PlaceWindow(int left, int top, int width, int height) {
  const bool sameSize = size() == QSize(width, height);
  setFixedSize(width, height);
  if (left != -1 && !sameSize) move(left, top);
}

void CMainFrame::SetTopmost(bool topmost) {
  if (IsTopmost() == topmost) return;
  const bool visible = isVisible();
  const QPoint position = pos();
  setWindowFlag(Qt::WindowStaysOnTopHint, topmost);  // hides the window on some platforms
  if (visible) {
    move(position);
    show();
  }
}

bool CMainFrame::IsTopmost() const {
  return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void CMainFrame::AttachLogList(CqelListBox* list) {
  log_->Attach(list);
}

void CMainFrame::AttachStatusBar(QWidget* bar) {
  statusBar_->Attach(bar);
}

// ---- Framework commands -----------------------------------------------------------------------

void CMainFrame::OnFrameCommand(int command) {
  switch (command) {
    case ctl::kFileNew:
      // A new preset changes no setting; it only drops the preset's name (and log file).
      if (CBaseView* view = ActiveView()) view->CollectSettings();
      doc_.NewPreset();
      UpdateTitle();
      break;
    case ctl::kFileOpen: {
      const QString path =
          QFileDialog::getOpenFileName(this, tr("Open"), QString(), tr(kPresetFilter));
      if (!path.isEmpty()) OpenPreset(path);
      break;
    }
    case ctl::kFileSave:
      if (doc_.PathName().empty()) {
        OnFrameCommand(ctl::kFileSaveAs);
      } else {
        SavePreset(QString::fromStdString(doc_.PathName().string()));
      }
      break;
    case ctl::kFileSaveAs: {
      QFileDialog dialog(this, tr("Save As"), QString::fromStdString(doc_.PathName().string()),
                         tr(kPresetFilter));
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setDefaultSuffix(QString::fromLatin1(kPresetSuffix));
      if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        SavePreset(dialog.selectedFiles().front());
      }
      break;
    }
    case ctl::kFilePrint:
      PrintVisiblePage(false);
      break;
    case ctl::kFilePrintPreview:
      PrintVisiblePage(true);
      break;
    case ctl::kFilePrintSetup: {
      QPageSetupDialog dialog(&printer_, this);
      dialog.exec();
      break;
    }
    default:
      break;
  }
}

bool CMainFrame::OpenPreset(const QString& path) {
  const bool opened = doc_.OpenPreset(path.toStdString());
  UpdateTitle();
  return opened;
}

bool CMainFrame::SavePreset(const QString& path) {
  const bool saved = doc_.SavePreset(path.toStdString());
  UpdateTitle();
  return saved;
}

QString CMainFrame::PresetTitle() const {
  return QString::fromStdString(doc_.Title());
}

void CMainFrame::UpdateTitle() {
  QString title = PresetTitle() + QStringLiteral(" - ") + QString::fromUtf8(kAppTitle);
  if (!titleSuffix_.isEmpty()) title += QStringLiteral(" ") + titleSuffix_;
  setWindowTitle(title);
}

void CMainFrame::SetTitleSuffix(const QString& suffix) {
  titleSuffix_ = suffix;
  UpdateTitle();
}

// ---- HEX file watch --------------------------------------------------------------------------

namespace {
QDateTime LastWriteTime(const std::string& path) {
  return QFileInfo(QString::fromStdString(path)).lastModified();
}
}  // namespace

void CMainFrame::NoteHexFileLoaded(const std::string& path) {
  hexFilePath_ = path;
  hexFileTime_ = LastWriteTime(path);
}

bool CMainFrame::HexFileChangedSinceLoad(const std::string& path) const {
  if (path.empty()) return false;
  const QDateTime now = LastWriteTime(path);
  if (!now.isValid()) return false;  // no such file (yet)
  return path != hexFilePath_ || now != hexFileTime_;
}

// ---- Printing ---------------------------------------------------------------------------------

void CMainFrame::PrintVisiblePage(bool preview) {
  if (preview) {
    QPrintPreviewDialog dialog(&printer_, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { RenderVisiblePage(*printer); });
    dialog.exec();
    return;
  }
  QPrintDialog dialog(&printer_, this);
  if (dialog.exec() == QDialog::Accepted) RenderVisiblePage(printer_);
}

void CMainFrame::RenderVisiblePage(QPagedPaintDevice& device) {
  CBaseView* view = ActiveView();
  if (!view) return;
  QPainter painter(&device);
  // A frame inset from the printable area, the page scaled into it.
  const QRect frame(100, 50, device.width() - 150, device.height() - 100);
  painter.drawRect(frame);
  const QRect inner = frame.adjusted(10, 10, -10, -10);
  const double scale =
      std::min(double(inner.width()) / view->width(), double(inner.height()) / view->height());
  painter.translate(inner.topLeft());
  painter.scale(scale, scale);
  view->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
}

}  // namespace velmora
