// Renders each form of the desktop program with demo texts into PNG files, for the README and
// for review: kr-ui-screenshots OUTPUT_FOLDER. Run by scripts/screenshots under Xvfb.
//
// A grabbed window has no title bar, and Xvfb runs no window manager, so each picture gets a
// plain title bar drawn here, showing the window title the form carries.
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <string>

#include "ui/qt/qt_ui.h"

namespace {

using kr::ui::QtUi;

constexpr char kTitle[] = "ケルモラ2019 アップデート";

QPixmap WithTitleBar(QWidget& window) {
  const QPixmap client = window.grab();
  constexpr int kBar = 26, kBorder = 1;
  QPixmap framed(client.width() + 2 * kBorder, client.height() + kBar + kBorder);
  framed.fill(QColor(0x9a, 0xa5, 0xb1));
  QPainter painter(&framed);
  const QRect bar(kBorder, kBorder, client.width(), kBar - kBorder);
  painter.fillRect(bar, QColor(0xe8, 0xee, 0xf5));
  QFont font = kr::ui::FormFont();
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(bar.adjusted(8, 0, -30, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   window.windowTitle());
  painter.drawText(bar.adjusted(0, 0, -10, 0), Qt::AlignVCenter | Qt::AlignRight,
                   QString::fromUtf8("✕"));
  painter.drawPixmap(kBorder, kBar, client);
  return framed;
}

bool Save(QWidget& window, const QString& folder, const char* name) {
  QApplication::processEvents();
  const QString path = QDir(folder).filePath(QString::fromUtf8(name));
  if (!WithTitleBar(window).save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", path.toUtf8().constData());
    return false;
  }
  std::printf("%s\n", path.toUtf8().constData());
  return true;
}

QWidget* FindForm(const char* name) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String(name) && widget->isVisible()) return widget;
  }
  return nullptr;
}

class NoHandler final : public kr::ui::InstallFolderHandler {
 public:
  void OnBrowse() override {}
  void OnOk() override {}
  void OnCancel() override {}
};

bool ShootInstallFolderDialog(QtUi& ui, const QString& folder) {
  static NoHandler handler;
  kr::ui::InstallFolderView& view = ui.LoadInstallFolderDialog(handler);
  view.SetTitle(kTitle);
  view.SetCaptions("インストール先", "ケルモラ2019をインストールしたフォルダを指定してください。",
                   "見つからない場合は［参照］ボタンで選択してください。");
  view.SetFolderText("/opt/Kelmora2019/");
  view.Show();
  const bool saved = Save(*FindForm("frmMlDir"), folder, "frmMlDir.png");
  view.Close();
  return saved;
}

bool ShootWaitDialog(QtUi& ui, const QString& folder) {
  bool saved = true;
  ui.ShowWait(kTitle);
  ui.SetWaitLabel(1, "KrVal.mdb をインストール中...");
  saved &= Save(*FindForm("frmWait"), folder, "frmWait-running.png");

  ui.SetWaitLabel(0, "アップデートが完了しました。");
  ui.SetWaitLabel(1, "");
  ui.EnableWaitOk();
  saved &= Save(*FindForm("frmWait"), folder, "frmWait-finished.png");

  ui.SetWaitLabel(0, "アップデート時にエラーが発生しました。");
  ui.SetWaitLabel(
      1,
      "/opt/Kelmora2019/File\\平成31年度\\KrVal.mdb\r\n"
      "エラー番号=70\r\nエラー内容=書き込みできません。\r\n\r\n"
      "/opt/Kelmora2019/KrMain.exe\r\n"
      "エラー番号=53\r\nエラー内容=ファイルが見つかりません。\r\n\r\n"
      "/opt/Kelmora2019/KelmoraSetting.xml\r\n"
      "エラー番号=5\r\nエラー内容=プロシージャの呼び出し、または引数が不正です。\r\n\r\n");
  saved &= Save(*FindForm("frmWait"), folder, "frmWait-error.png");
  ui.UnloadWait();
  return saved;
}

bool ShootMessageBox(QtUi& ui, const QString& folder) {
  bool saved = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      poll.stop();
      // Let the box settle on its final size before the picture is taken.
      QTimer::singleShot(300, box, [&saved, box, folder] {
        saved = Save(*box, folder, "message-box.png");
        box->close();
      });
    }
  });
  poll.start(20);
  ui.MessageBox(
      "指定したフォルダには ケルモラ2019 がインストールされていません。\r\n"
      "再度インストール先を設定してください。",
      kTitle, kr::ui::Icon::kCritical);
  return saved;
}

bool ShootSelectCopySource(const QString& folder) {
  kr::ui::frmSelectCopySource form;
  form.AddList("2019年度(令和2年3月労務更新)");
  form.AddList("平成31年度");
  form.AddList("平成30年度(一部更新)");
  form.show();
  return Save(form, folder, "frmSelectCopySource.png");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kr-ui-screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }
  QtUi ui([](QWidget*, std::string_view, std::string_view) { return std::string(); });
  bool saved = ShootInstallFolderDialog(ui, folder);
  saved &= ShootWaitDialog(ui, folder);
  saved &= ShootMessageBox(ui, folder);
  saved &= ShootSelectCopySource(folder);
  return saved ? 0 : 1;
}
