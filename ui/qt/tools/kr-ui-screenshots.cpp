// Renders the desktop program's windows from real runs of the demo into PNG files, for the README
// and for review: kr-ui-screenshots OUTPUT_FOLDER DEMO_MAKER. Run by scripts/screenshots under
// Xvfb.
//
// DEMO_MAKER (kr-make-demo) builds the demo installation and package in a temporary folder; the
// updater runs on it in this process, as kr-updater does, with the real QtUi, and each picture
// is taken when the run shows that window: frmMlDir as start-up opens it, the message box of a
// folder without the application, frmWait halfway through and at its end, its 詳細… window and
// frmUndo for that run. A second demo, damaged on purpose (a folder where the package installs a
// file, a price database that is no database), gives frmWait's error message. Every text shown
// is the program's own.
//
// A grabbed window has no title bar, and Xvfb runs no window manager, so each picture gets a
// plain title bar drawn here, showing the window title the form carries.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>

#include "app/undo_window.h"
#include "platform/platform.h"
#include "routines/routines.h"
#include "startup/startup.h"
#include "ui/qt/qt_ui.h"

namespace {

using kr::ui::QtUi;

// The run's clock: the report's stamp and the dated backups do not change from one rendering
// to the next.
constexpr char kNow[] = "2020-04-07 15:30";

QPixmap WithTitleBar(QWidget& window) {
  const QPixmap client = window.grab();
  constexpr int kBar = 26, kBorder = 1;
  QPixmap framed(client.width() + 2 * kBorder, client.height() + kBar + kBorder);
  framed.fill(QColor(0x9a, 0xa5, 0xb1));
  QPainter painter(&framed);
  const QRect bar(kBorder, kBorder, client.width(), kBar - kBorder);
  painter.fillRect(bar, QColor(0xe8, 0xee, 0xf5));
  painter.setFont(kr::ui::FormFont());
  painter.setPen(Qt::black);
  painter.drawText(bar.adjusted(8, 0, -30, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   window.windowTitle());
  painter.drawText(bar.adjusted(0, 0, -10, 0), Qt::AlignVCenter | Qt::AlignRight,
                   QString::fromUtf8("✕"));
  painter.drawPixmap(kBorder, kBar, client);
  return framed;
}

class Shooter {
 public:
  explicit Shooter(QString folder) : folder_(std::move(folder)) {}

  // Saves window as name; a missing window counts as a failed picture.
  void Save(QWidget* window, const char* name) {
    const QString path = QDir(folder_).filePath(QString::fromUtf8(name));
    if (window == nullptr) {
      std::fprintf(stderr, "%s: the window did not show\n", name);
      ok_ = false;
      return;
    }
    QApplication::processEvents();
    if (!WithTitleBar(*window).save(path, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", path.toUtf8().constData());
      ok_ = false;
      return;
    }
    std::printf("%s\n", path.toUtf8().constData());
  }
  bool ok() const { return ok_; }

 private:
  QString folder_;
  bool ok_ = true;
};

QWidget* FindWindow(const char* name) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String(name) && widget->isVisible()) return widget;
  }
  return nullptr;
}

void Click(QWidget* window, const char* button) {
  if (window == nullptr) return;
  if (auto* found = window->findChild<QPushButton*>(button)) found->click();
}

// The real QtUi, passed through; calls then, once, when a step of the run names itself in the
// progress line after half of the run is done.
class HalfwayUi final : public kr::ui::Ui {
 public:
  HalfwayUi(QtUi& ui, std::function<void()> then) : ui_(ui), then_(std::move(then)) {}

  void MessageBox(std::string_view text, std::string_view title, kr::ui::Icon icon) override {
    ui_.MessageBox(text, title, icon);
  }
  void ShowWait(std::string_view title) override { ui_.ShowWait(title); }
  void SetWaitLabel(int index, std::string_view text) override {
    ui_.SetWaitLabel(index, text);
    if (index == 1 && !text.empty() && halfway_ && then_) std::exchange(then_, nullptr)();
  }
  std::string WaitLabel(int index) const override { return ui_.WaitLabel(index); }
  void EnableWaitOk() override { ui_.EnableWaitOk(); }
  void UnloadWait() override { ui_.UnloadWait(); }
  void SetWaitProgress(size_t done, size_t total) override {
    ui_.SetWaitProgress(done, total);
    halfway_ = 2 * done >= total;
  }
  void SetWaitDetails(std::string_view text) override { ui_.SetWaitDetails(text); }
  // Whether then was called.
  bool Halfway() const { return !then_; }
  void SetBusy(bool busy) override { ui_.SetBusy(busy); }
  void PumpEvents() override { ui_.PumpEvents(); }
  std::string BrowseForFolder(std::string_view title, std::string_view initial) override {
    return ui_.BrowseForFolder(title, initial);
  }
  std::string SelectCopySource(const std::vector<std::string>& choices) override {
    return ui_.SelectCopySource(choices);
  }
  kr::ui::InstallFolderView& LoadInstallFolderDialog(
      kr::ui::InstallFolderHandler& handler) override {
    return ui_.LoadInstallFolderDialog(handler);
  }

 private:
  QtUi& ui_;
  std::function<void()> then_;
  bool halfway_ = false;
};

// A demo installation and package below a temporary folder, and the environment that points
// the updater at its folders.
class Demo {
 public:
  bool Make(const QString& maker) {
    if (!temp_.isValid()) return false;
    root_ = temp_.path() + "/demo";
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(maker, {root_});
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
      std::fprintf(stderr, "%s failed\n", maker.toUtf8().constData());
      return false;
    }
    const std::pair<const char*, const char*> folders[] = {
        {"KR_WINDOWS_DIR", "Windows"},
        {"KR_SYSTEM_DIR", "Windows/System32"},
        {"KR_COMMON_APPDATA_DIR", "ProgramData"},
        {"KR_PROGRAMS_DIR", "Programs"},
        {"KR_DESKTOP_DIR", "Desktop"},
        {"XDG_RUNTIME_DIR", "run"},
        {"KR_TRUSTED_KEYS", "run"},  // no key trusted: the demo package is not signed
    };
    for (auto [name, folder] : folders) setenv(name, Path(folder).c_str(), 1);
    setenv("KR_NOW", kNow, 1);
    // The checks a vendor's package switches on, so that a wrong folder is refused.
    for (const char* check : {"ChkExeName", "ChkExeYear", "ChkExeVersion", "ChkLoading"}) {
      kr::platform::profile::WriteString(Path("Package/KrInst.ini"), "Bootstrap", check, "1");
    }
    QFile::setPermissions(QString::fromStdString(Path("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
  }
  std::string Path(const char* below) const { return (root_ + "/" + below).toStdString(); }
  // The package as kr-updater's command line names it.
  std::string CommandLine() const { return "\"" + Path("Package") + "\""; }

 private:
  QTemporaryDir temp_{QDir::tempPath() + "/kr-demo-XXXXXX"};
  QString root_;
};

// The folder frmMlDir shows ("" when it is not open).
std::string FolderShown() {
  QWidget* dialog = FindWindow("frmMlDir");
  auto* text = dialog != nullptr ? dialog->findChild<QLineEdit*>("txtDir") : nullptr;
  return text != nullptr ? text->text().toStdString() : std::string();
}

// Presses OK in frmMlDir on folder and waits for what follows (a message box, or the run).
void PressOk(const std::string& folder) {
  QWidget* dialog = FindWindow("frmMlDir");
  if (dialog == nullptr) return;
  if (auto* text = dialog->findChild<QLineEdit*>("txtDir")) {
    text->setText(QString::fromStdString(folder));
  }
  Click(dialog, "cmdOk");
}

// From now on, calls shoot with each message box shown (once it has settled on its final size),
// then closes it; a box nobody waits for would stop the run for good.
void OnMessageBoxes(QTimer& poll, std::function<void(QWidget*)> shoot) {
  QObject::disconnect(&poll, nullptr, nullptr, nullptr);
  QObject::connect(&poll, &QTimer::timeout, [shoot] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr || box->property("shooting").toBool()) return;
    box->setProperty("shooting", true);
    QTimer::singleShot(300, box, [box, shoot] {
      shoot(box);
      box->close();
    });
  });
  poll.start(20);
}

void Unexpected(QWidget* box) {
  auto* label = box->findChild<QLabel*>("qt_msgbox_label");
  std::fprintf(stderr, "a message box nobody expected: %s\n",
               label != nullptr ? label->text().toUtf8().constData() : "");
}

// The demo as a user meets it: frmMlDir, a refused folder, the run, its details, then undo.
void ShootCleanRun(Shooter& shooter, const QString& maker) {
  Demo demo;
  if (!demo.Make(maker)) return shooter.Save(nullptr, "demo");
  QtUi qt;
  HalfwayUi ui(qt, [&] { shooter.Save(FindWindow("frmWait"), "frmWait-running.png"); });
  kr::routines::Registry routines;
  kr::startup::Updater updater(ui, routines);
  updater.Main(demo.CommandLine());
  shooter.Save(FindWindow("frmMlDir"), "frmMlDir.png");
  const std::string proposed = FolderShown();

  QTimer poll;
  bool refused = false;
  OnMessageBoxes(poll, [&](QWidget* box) {
    refused = true;
    shooter.Save(box, "message-box.png");
  });
  PressOk(demo.Path("Desktop/"));
  if (!refused) shooter.Save(nullptr, "message-box.png");
  OnMessageBoxes(poll, Unexpected);
  PressOk(proposed);
  if (!ui.Halfway()) shooter.Save(nullptr, "frmWait-running.png");

  QWidget* wait = FindWindow("frmWait");
  shooter.Save(wait, "frmWait-finished.png");
  Click(wait, "cmdDetails");
  shooter.Save(FindWindow("frmDetails"), "frmWait-details.png");
  Click(FindWindow("frmDetails"), "cmdClose");
  Click(wait, "cmdOk");
  QApplication::processEvents();

  QWidget* undo = kr::app::ShowUndo("", demo.CommandLine());
  shooter.Save(undo, "frmUndo.png");
  undo->close();
}

// A run that fails: the package installs Readme.txt where the installation has a folder of that
// name, and one year folder's price database is no database.
void ShootFailedRun(Shooter& shooter, const QString& maker) {
  Demo demo;
  if (!demo.Make(maker)) return shooter.Save(nullptr, "demo");
  QDir().mkpath(QString::fromStdString(demo.Path("App/Readme.txt")));
  QFile damaged(
      QString::fromStdString(demo.Path("App/File/2019年度(令和2年3月労務更新)/KrVal.mdb")));
  if (!damaged.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      damaged.write("not a database") < 0) {
    return shooter.Save(nullptr, "damaged demo");
  }
  damaged.close();

  QtUi ui;
  kr::routines::Registry routines;
  kr::startup::Updater updater(ui, routines);
  updater.Main(demo.CommandLine());
  QTimer poll;
  OnMessageBoxes(poll, Unexpected);
  PressOk(FolderShown());
  QWidget* wait = FindWindow("frmWait");
  shooter.Save(wait, "frmWait-error.png");
  Click(wait, "cmdOk");
  QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  if (argc != 3) {
    std::fprintf(stderr, "usage: kr-ui-screenshots OUTPUT_FOLDER DEMO_MAKER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }
  const QString maker = QString::fromLocal8Bit(argv[2]);
  Shooter shooter(folder);
  ShootCleanRun(shooter, maker);
  ShootFailedRun(shooter, maker);
  return shooter.ok() ? 0 : 1;
}
