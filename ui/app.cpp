// Start-up, and the one place where failures are shown to the user.

#include <wx/app.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

#include <csignal>
#include <exception>

#include "ui/form1.h"
#include "ui/platform.h"

namespace dxflist::ui {

class DxfListApp : public wxApp {
  public:
    bool OnInit() override {
#ifdef SIGXFSZ
        // Past a file-size limit (ulimit -f) a write then fails with EFBIG and the run ends
        // with the usual failure box, instead of the signal killing the program mid-line.
        std::signal(SIGXFSZ, SIG_IGN);
#endif
        // The platform's own texts (buttons, the file dialog) follow the user's language, as
        // they do on Windows. The engine does not depend on the locale.
        {
            wxLogNull quiet;
            wxUILocale::UseDefault();
            auto* translations = new wxTranslations;
            wxTranslations::Set(translations);
            translations->AddStdCatalog();
        }
        SetAppDisplayName("dxflist");
        auto* form = new Form1;
        form->Show();
        form->openAtStart(commandLineFiles());
        return true;
    }

    int OnRun() override {
        const int status = wxApp::OnRun();
        return exitStatus_ != 0 ? exitStatus_ : status;
    }

    // A command that failed, or a run stopped by Exit: the files it held are closed by now,
    // as the exception has unwound it. Returning false ends the main loop and the program.
    bool OnExceptionInMainLoop() override {
        try {
            throw;
        } catch (const ProgramEnd&) {
            exitStatus_ = 0;
        } catch (const std::exception& failure) {
            showFailure(fromUtf8(failure.what()));
        } catch (...) {
            showFailure(fromUtf8("予期しないエラーが発生しました。"));
        }
        return false;
    }

    void OnUnhandledException() override {
        try {
            throw;
        } catch (const std::exception& failure) {
            showFailure(fromUtf8(failure.what()));
        } catch (...) {
            showFailure(fromUtf8("予期しないエラーが発生しました。"));
        }
    }

  private:
    void showFailure(const wxString& text) {
        exitStatus_ = 1;
        wxMessageBox(text, GetAppDisplayName(), wxOK | wxICON_ERROR, GetTopWindow());
    }

    int exitStatus_ = 0;
};

}  // namespace dxflist::ui

#ifdef _WIN32
wxIMPLEMENT_APP(dxflist::ui::DxfListApp);
#else
wxIMPLEMENT_APP_NO_MAIN(dxflist::ui::DxfListApp);

// The program has no options: every argument is a file (see commandLineFiles). GTK is given the
// program's name only, so that it takes no file for one of its own options (--display, --name,
// ...), and no name that is not text in the locale is dropped on the way to wx.
int main(int argc, char** argv) {
    wxDISABLE_DEBUG_SUPPORT();
    int count = argc > 0 ? 1 : 0;
    char* programOnly[] = {argc > 0 ? argv[0] : nullptr, nullptr};
    return wxEntry(count, programOnly);
}
#endif
