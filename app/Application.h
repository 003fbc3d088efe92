// Start-up of the program: the resolver library, the five windows in their order, the main window.
#pragma once

#include <future>
#include <memory>
#include <utility>

namespace orvex {

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
struct Form1Services;

// The program's windows, created once and kept until the end of the run. The main window owns the
// other four (they are its children, so they centre over it and go with it).
struct Windows {
    std::unique_ptr<TForm1> Form1;
    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    TForm4* Form4 = nullptr;
    TForm5* Form5 = nullptr;
};

Windows createWindows(Form1Services services);

// The program's start: the main window alone, ready to be shown. The four other windows (reached
// through its Form2 to Form5) and the application's window icon follow from the event loop right
// after the main window's first paint, so that it appears sooner; nothing the windows show changes.
std::unique_ptr<TForm1> createMainWindowFirst(Form1Services services);

// Lists the image formats Qt can read (a walk through its plugin folder, about half a millisecond)
// on a thread of its own while the main window is built; the menu bar's first icon needs the list.
// The object waits for the thread as it is destroyed: keep it while the application exists.
class AheadWork {
public:
    AheadWork() = default;
    explicit AheadWork(std::future<void> done) : done_(std::move(done)) {}
    AheadWork(AheadWork&&) = default;
    AheadWork& operator=(AheadWork&&) = delete;
    ~AheadWork() {
        if (done_.valid()) done_.wait();
    }

private:
    std::future<void> done_;
};
AheadWork listImageFormatsAhead();

} // namespace orvex
