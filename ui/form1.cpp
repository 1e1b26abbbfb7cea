#include "ui/form1.h"

#include <wx/app.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "engine/dxflist.h"
#include "engine/os_file.h"
#include "ui/app_info.h"
#include "ui/icons.h"

namespace dxflist::ui {
namespace {

// Our own ids: the stock ones would bring Ctrl+O and Ctrl+Q with them on GTK.
enum MenuId { kIdFileOpen = wxID_HIGHEST + 1, kIdFileExit, kIdHelpVer };

// A pass of the run takes about 100 ns and a yield about 2 us, so events are let in only
// every few milliseconds; the clock itself is read once every 1024 passes.
constexpr auto kPumpInterval = std::chrono::milliseconds(5);
constexpr unsigned kPassesPerClockCheck = 1024;

// Steps of the taskbar's progress: a tenth of a percent each.
constexpr int kTaskbarRange = 1000;

std::filesystem::path toPath(const wxString& name) {
#ifdef _WIN32
    return std::filesystem::path(name.ToStdWstring());
#else
    return std::filesystem::path(std::string(name.fn_str()));
#endif
}

// Gives a variable a value for a scope, and its old one back when the scope ends, however it
// ends.
template <typename T>
class ScopedValue {
  public:
    ScopedValue(T& variable, T value) : variable_(variable), old_(std::exchange(variable, value)) {}
    ~ScopedValue() { variable_ = old_; }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

  private:
    T& variable_;
    T old_;
};

}  // namespace

wxString fromUtf8(std::string_view utf8) {
    const std::string valid = validUtf8(utf8);
    return wxString::FromUTF8(valid.data(), valid.size());
}

Form1::Form1()
    : wxFrame(nullptr, wxID_ANY, "File Open"),
      // The title Windows gives its own open dialog in Japanese. wx always sets one (its
      // default is English), and an empty one stays empty (seen under Wine); GTK has none.
      CommonDialog1(this, fromUtf8("開く"), wxEmptyString, wxEmptyString,
                    wxFileSelectorDefaultWildcardStr, wxFD_OPEN | wxFD_FILE_MUST_EXIST) {
    // The client area is empty. A frame with no child shows the dark grey of an empty workspace
    // on Windows; a panel gives it the usual background of a window.
    new wxPanel(this);
    auto* mnuFile = new wxMenu;
    mnuFile->Append(kIdFileOpen, fromUtf8("開く(&O)"));
    mnuFile->Append(kIdFileExit, fromUtf8("終了(&X)"));
    auto* mnuHelp = new wxMenu;
    mnuHelp->Append(kIdHelpVer, fromUtf8("バージョン(&V)"));
    auto* menuBar = new wxMenuBar;
    menuBar->Append(mnuFile, fromUtf8("ファイル(&F)"));
    menuBar->Append(mnuHelp, fromUtf8("ヘルプ(&H)"));
    SetMenuBar(menuBar);
    SetIcons(programIcons());
    // 4680 x 3090 twips: 312 x 206 pixels at 96 DPI.
    SetClientSize(FromDIP(wxSize(312, 206)));
    DragAcceptFiles(true);

    Bind(wxEVT_MENU, &Form1::mnuFileOpen_Click, this, kIdFileOpen);
    Bind(wxEVT_MENU, &Form1::mnuFileExit_Click, this, kIdFileExit);
    Bind(wxEVT_MENU, &Form1::mnuHelpVer_Click, this, kIdHelpVer);
    Bind(wxEVT_DROP_FILES, &Form1::Form_DropFiles, this);
    Bind(wxEVT_CLOSE_WINDOW, &Form1::Form_Close, this);
    Form_Load();
}

void Form1::Form_Load() {
    setCaption(currentAppInfo().EXEName);
}

void Form1::setCaption(std::string_view utf8) {
    SetTitle(fromUtf8(utf8));
}

void Form1::doEvents() {
    if (++passes_ % kPassesPerClockCheck != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump_ < kPumpInterval) return;
    lastPump_ = now;
    wxTheApp->Yield(true);
    if (ending_) throw ProgramEnd{};
}

int Form1::msgBox(std::string_view utf8, MsgBoxStyle style) {
    if (ending_) throw ProgramEnd{};  // no box opens on a window that is going away
    long flags = wxOK | wxICON_NONE;
    if (style == kMsgBoxYesNoQuestion) flags = wxYES_NO | wxICON_QUESTION;
    if (style == kMsgBoxOkInformation) flags = wxOK | wxICON_INFORMATION;
    wxMessageDialog box(this, fromUtf8(utf8), wxTheApp->GetAppDisplayName(), flags);
    switch (box.ShowModal()) {
        case wxID_YES:
            return kAnswerYes;
        case wxID_NO:
            return kAnswerNo;
        case wxID_OK:
            return kAnswerOk;
        default:
            return kAnswerCancel;
    }
}

int Form1::currentSecond() {
    return clock_.now();
}

void Form1::setProgress(std::uint64_t done, std::uint64_t total) {
    if (!taskbar_ || total == 0) return;
    // A file that grows during the run may be read past the size it had.
    const auto value = static_cast<int>(std::min(done, total) * kTaskbarRange / total);
    if (value == taskbarValue_) return;
    taskbarValue_ = value;
    taskbar_->SetValue(value);
}

void Form1::setProgressUnknown() {
    if (!taskbar_) return;
    taskbarValue_ = -1;
    taskbar_->Pulse();
}

void Form1::mnuFileOpen_Click(wxCommandEvent&) {
    // A second run would truncate the listing that the first one is still writing.
    if (running_ || ending_) return;
    const AppInfo app = currentAppInfo();
    setCurrentFolder(app.Path);
    if (CommonDialog1.GetPath().empty()) CommonDialog1.SetDirectory(wxGetCwd());
    CommonDialog1.SetWildcard(fromUtf8("DXF(*.dxf)|*.dxf|すべてのファイル(*.*)|*.*"));
    if (CommonDialog1.ShowModal() != wxID_OK) return;
    const wxString fileName = CommonDialog1.GetPath();
    if (fileName.empty()) return;
    listFile(toPath(fileName), app);
}

// A file dropped on the window is opened as File > Open opens the file chosen in its dialog.
// The drop itself only takes note of the names: the run starts once the drag-and-drop
// exchange with the source is over, so that the source is not left waiting through a run and
// its boxes.
void Form1::Form_DropFiles(wxDropFilesEvent& event) {
    // Left unhandled, the drop counts as not done where the source is told (GTK).
    if (running_ || ending_) {
        event.Skip();
        return;
    }
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < event.GetNumberOfFiles(); ++i) files.push_back(toPath(event.GetFiles()[i]));
    openLater(files);
}

// Files named on the command line (a file dropped on the program's icon, Send To, Open with)
// are opened as files dropped on the window.
void Form1::openAtStart(const std::vector<std::filesystem::path>& files) {
    if (!files.empty()) openLater(files);
}

void Form1::openLater(const std::vector<std::filesystem::path>& files) {
    // A call made later runs outside the guard wx keeps around commands: on GTK a failure, or
    // the stop of Exit, would otherwise cross GTK's C code to the end of the program, past
    // OnExceptionInMainLoop. It goes where a command's would.
    CallAfter([this, files] {
        try {
            openDropped(files);
        } catch (...) {
            if (!wxTheApp->OnExceptionInMainLoop()) wxTheApp->ExitMainLoop();
        }
    });
}

void Form1::openDropped(const std::vector<std::filesystem::path>& files) {
    if (running_ || ending_ || files.empty()) return;
    // There is one listing: a second file would overwrite the first one's at once.
    if (files.size() > 1) {
        msgBox("一度に開けるファイルは一つだけです。", kMsgBoxOkInformation);
        return;
    }
    const AppInfo app = currentAppInfo();
    setCurrentFolder(app.Path);
    listFile(files.front(), app);
}

void Form1::listFile(const std::filesystem::path& selFn, const AppInfo& app) {
    const ScopedValue running(running_, true);
    // The taskbar button shows the run's progress for as long as the run lasts: the indicator
    // clears it when it goes, however the run ends (Windows; elsewhere it does nothing).
    wxAppProgressIndicator taskbar(this, kTaskbarRange);
    const ScopedValue shown(taskbar_, &taskbar);
    taskbarValue_ = -1;
    lastPump_ = std::chrono::steady_clock::now();
    subDXFver(selFn, *this, app);
}

void Form1::mnuFileExit_Click(wxCommandEvent&) {
    if (ending_) return;
    if (msgBox("終了しますか？", kMsgBoxYesNoQuestion) == kAnswerYes) endProgram();
}

void Form1::mnuHelpVer_Click(wxCommandEvent&) {
    if (ending_) return;
    msgBox(versionText(currentAppInfo()), kMsgBoxOkInformation);
}

// Closing the window while a run is in progress ends the program as Exit answered with Yes.
void Form1::Form_Close(wxCloseEvent& event) {
    if (running_ && event.CanVeto()) event.Veto();
    endProgram();
}

// A run in progress is unwound by its next pass (see doEvents), which closes its files; at idle
// the window is destroyed now and, being the last one, ends the program.
void Form1::endProgram() {
    ending_ = true;
    if (running_) return;
    Hide();
    Destroy();
}

}  // namespace dxflist::ui
