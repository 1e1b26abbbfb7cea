#pragma once
// The program's only window: its menu, its three commands, and the services the listing run
// asks of it.

#include <wx/filedlg.h>
#include <wx/frame.h>
// After frame.h: it names wxWindow without declaring it.
#include <wx/appprogress.h>

#include <chrono>
#include <filesystem>
#include <string_view>
#include <vector>

#include "engine/host.h"

namespace dxflist::ui {

// UTF-8 text for the window; bytes that are not UTF-8 show as U+FFFD, never as an empty text.
wxString fromUtf8(std::string_view utf8);

// Thrown out of a run's event processing when the user has confirmed Exit during the run: it
// unwinds the run, which closes its files, and the program then ends.
struct ProgramEnd {};

// The program's only window (Form1): the menu with Open, Exit and Version, the caption that shows
// a run's progress, and the HostServices the run asks of its window.
class Form1 : public wxFrame, public HostServices {
  public:
    Form1();

    // Opens the files the program was started with, as if dropped on the window, once the
    // window is up and waiting for commands; nothing when there are none.
    void openAtStart(const std::vector<std::filesystem::path>& files);

    void setCaption(std::string_view utf8) override;
    void doEvents() override;
    int msgBox(std::string_view utf8, MsgBoxStyle style) override;
    int currentSecond() override;
    void setProgress(std::uint64_t done, std::uint64_t total) override;
    void setProgressUnknown() override;

  private:
    void Form_Load();                               // the caption: the executable's name
    void Form_Close(wxCloseEvent& event);           // the window closed through its frame
    void mnuFileOpen_Click(wxCommandEvent& event);  // File > Open: choose a drawing, list it
    void mnuFileExit_Click(wxCommandEvent& event);  // File > Exit: asks, then ends the program
    void mnuHelpVer_Click(wxCommandEvent& event);   // Help > Version: the version box
    void Form_DropFiles(wxDropFilesEvent& event);   // files dropped on the window
    void openLater(const std::vector<std::filesystem::path>& files);
    void openDropped(const std::vector<std::filesystem::path>& files);
    void listFile(const std::filesystem::path& selFn, const AppInfo& app);
    void endProgram();

    wxFileDialog CommonDialog1;  // the open-file dialog, kept with its folder between uses
    bool running_ = false;       // a listing run is in progress
    // The end has begun (Exit answered Yes, or the window closed): no command runs any more and
    // a run in progress stops at its next pass. The window is deleted only at idle time, so
    // commands typed ahead would otherwise still reach it, and their modal loops would delete it
    // under their own feet.
    bool ending_ = false;
    unsigned passes_ = 0;
    SecondOfMinuteClock clock_;
    std::chrono::steady_clock::time_point lastPump_;
    wxAppProgressIndicator* taskbar_ = nullptr;  // the run's progress on the taskbar button
    int taskbarValue_ = -1;                      // the value shown, -1 when none is
};

}  // namespace dxflist::ui
