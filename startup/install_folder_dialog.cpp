#include <string>

#include "platform/failure.h"
#include "startup/startup.h"

namespace kr::startup {
namespace {
constexpr std::string_view kBrowseTitle = "探す場所";
}  // namespace

frmMlDir::frmMlDir(RunContext& run, ui::Ui& ui, manifest::RoutineRegistry& routines)
    : run_(run), ui_(ui), routines_(routines) {}

frmMlDir::~frmMlDir() = default;

void frmMlDir::Show() {
  view_ = &ui_.LoadInstallFolderDialog(*this);
  Load();
  view_->Show();
}

void frmMlDir::Load() {
  StepAndContinue steps("frmMlDir.Load");
  support::clsIniFile ini;
  ini.FileName(run_.package_folder + "KrInst.ini");
  ini.Section("Bootstrap");
  view_->SetTitle(run_.title);
  view_->SetCaptions(ini.GetString("DispPathCaption", ""), ini.GetString("DispCommentCaption", ""),
                     ini.GetString("DispCommentCaption2", ""));
  if (run_.install_folder.empty()) {
    run_.install_folder = steps.Call([&] { return FindInstallFolder(); });
  }
  // ExeInitDir is relative to the root of the Windows drive; here that root is "/".
  if (run_.install_folder.empty()) run_.install_folder = "/" + ini.GetString("ExeInitDir", "");
  // txtDir shows the folder as this machine writes it; OK reads either form back.
  view_->SetFolderText(platform::NativePath(run_.install_folder));
}

void frmMlDir::OnBrowse() {
  if (view_ == nullptr) return;
  std::string initial = view_->FolderText();
  initial = support::RemoveTrailingSeparator(initial);
  std::string chosen = ui_.BrowseForFolder(kBrowseTitle, initial);
  if (!chosen.empty()) {
    view_->SetFolderText(platform::NativePath(support::AddTrailingSeparator(chosen)));
  }
}

void frmMlDir::OnOk() {
  if (view_ == nullptr) return;
  std::string text = view_->FolderText();
  std::string folder = support::AddTrailingSeparator(text);
  view_->SetFolderText(platform::NativePath(folder));
  run_.install_folder = folder;
  if (CheckInstallFolder()) return;
  view_->Close();
  view_ = nullptr;
  closed_ = true;
  outcome_ = manifest::RunManifest(run_, ui_, routines_, false);
}

void frmMlDir::OnCancel() {
  if (view_ == nullptr) return;
  run_.install_folder.clear();
  view_->Close();
  view_ = nullptr;
  closed_ = true;
}

}  // namespace kr::startup
