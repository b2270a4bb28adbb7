// The session as the grid's host: answers from CurrentSession() whenever the grid asks.
#include "app/grid_host_win32.h"

#include <memory>
#include <vector>

#include "app/close_deferral_win32.h"
#include "app/session_win32.h"
#include "base/file_utils_win32.h"

namespace {

class SessionHost : public GridHost {
public:
    HDC DisplayContext() override {
        Session& app = CurrentSession();
        if (app.display_info == nullptr) app.display_info = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
        return app.display_info;
    }

    HDC PrintMeasuringContext() override {
        const HDC printer = CurrentSession().printer_info;
        return printer != nullptr ? printer : DisplayContext();
    }

    PrintSettings CurrentPrintSettings() override { return GetPrintSettings(); }

    // Without a data file the pictures are looked for beside the program; the data directory
    // itself stays empty.
    const char* PictureFolder() override {
        const char* data_directory = CurrentSession().data_directory;
        if (data_directory[0] != '\0') return data_directory;
        ProgramDirectory(program_folder_, sizeof program_folder_);
        return program_folder_;
    }

    // Drags may nest in principle (a message dispatched by one drag's loop starts another).
    void BeginModalWork() override { open_work_.push_back(std::make_unique<ModalWorkScope>()); }
    void EndModalWork() override {
        if (!open_work_.empty()) open_work_.pop_back();
    }

private:
    char program_folder_[260] = {};
    std::vector<std::unique_ptr<ModalWorkScope>> open_work_;
};

}  // namespace

GridHost& SessionGridHost() {
    static SessionHost host;
    return host;
}
