// Start-up, and the one place where failures are shown to the user.

#include <wx/app.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

#include <exception>
#include <new>

#include "ui/form1.h"
#include "ui/platform.h"

namespace dxflist::ui {

class DxfListApp : public wxApp {
  public:
    bool OnInit() override {
        surviveFileSizeLimit();
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
        } catch (...) {
            showFailure(failureText());
        }
        return false;
    }

    void OnUnhandledException() override { showFailure(failureText()); }

  private:
    // The text of the failure being handled: the program's own message, or one in Japanese for
    // what the standard library throws.
    static wxString failureText() {
        try {
            throw;
        } catch (const std::bad_alloc&) {
            return fromUtf8("メモリが足りないため、続けられません。");
        } catch (const std::exception& failure) {
            return fromUtf8(failure.what());
        } catch (...) {
            return fromUtf8("予期しないエラーが発生しました。");
        }
    }

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
