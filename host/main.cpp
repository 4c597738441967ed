// The program entry: the application object, the windows in their fixed order, the message loop.
#include <windows.h>

#include "DLLHead.h"
#include "UI1.h"
#include "UI2.h"
#include "CalUnit.h"
#include "Instance.h"
#include "UI3.h"
#include "UI4.h"
#include "SystemFunction.h"
#include "UI5.h"
#include "Window.h"
#include "host_error.h"

using namespace mokuna;

namespace {

// Libraries loaded by name come from the program's folder and the system folders only, never from the
// current folder (where the settings files live) or a folder on PATH. Looked up at run time: a Windows 7
// without its loader update lacks the function and keeps the usual order.
void RestrictLibrarySearch() {
  using SetDirs = BOOL(WINAPI*)(DWORD);
  if (const auto set_dirs = SystemFunction<SetDirs>(L"kernel32.dll", "SetDefaultDllDirectories"))
    set_dirs(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictLibrarySearch();

  // One program per working folder, checked before anything is read: a second start only asks the
  // running one to show its windows, so two never share (and overwrite) the same settings files.
  FolderInstance instance;
  if (!instance.Claim(FolderInstance::NameForCurrentFolder())) return 0;

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
  TForm4 form4;
  form4.Create(Application.Handle());
  form3.Serifu.SetBalloon(&form4);
  form3.BalloonWindow = form4.Handle();

  // 4. TForm1, the debug entry window, hidden. It and the windows of steps 5 and 8 are made when first
  //    shown: until then they would only cost memory.
  FunctionSchedulerPort kavrel(isResult, GetResults, AddEntry, DirectAction, PropertyPage);
  TForm1 form1(kavrel);
  Form1 = &form1;
  form1.CreateWhenShown(Application.Handle());

  // 5. TForm5, the About box, hidden.
  TForm5 form5;
  Form5 = &form5;
  form5.CreateWhenShown(Application.Handle());

  // 6. TCalForm, the calendar window (at CalX, CalY; shown when ShowCalender); its place is written at exit.
  TCalForm cal_form;
  cal_form.FormCreate(form3.Settings.CalX, form3.Settings.CalY, form3.Settings.ShowCalender, Application.Handle());
  form3.CalendarWindow = cal_form.Handle();
  // A place stored for a monitor that is no longer there would leave the windows out of reach.
  form3.KeepWindowsReachable();
  // 7. Hide the balloon window.
  form4.Hide();

  // 8. TForm2, the settings dialog, hidden; filled from the settings as the character window now holds them.
  TForm2 form2(form3.SettingsLink(), form3.CurrentSettings());
  Form2 = &form2;
  form2.CreateWhenShown(form3.Handle());

  // From here on a later start in this folder shows the windows instead of running a second character.
  instance.Listen(form3.Handle(), TForm3::kShowRequest);

  // 9. The message loop, until the main window has closed.
  return Application.Run();
}
