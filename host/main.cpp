// The program entry: the application object, the windows in their fixed order, the message loop.
#include <windows.h>

#include "UI3.h"
#include "Window.h"
#include "host_error.h"

using namespace mokuna;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // 1. The application object and its title (also the caption of the general error handler).
  Application.Initialize();
  Application.SetTitle(kApplicationTitle);

  // 2. The character window. Created first, it is the main window: closing it ends the program. Its
  //    creation handler runs now, before any other window exists.
  TForm3 form3;
  Form3 = &form3;
  if (!form3.Create(Application.Handle())) return 1;
  Application.SetMainWindow(form3.Handle());

  // 3. TForm4, the balloon window.
  // 4. TForm1, the debug entry window.
  // 5. TForm5, the About box.
  // 6. TCalForm, the calendar window (at CalX, CalY; shown when ShowCalender); then
  //    form3.CalendarWindow := its handle.
  // 7. Hide the balloon window.
  // 8. TForm2, the settings dialog, hidden.

  // 9. The message loop, until the main window has closed.
  return Application.Run();
}
