#include "app/startup.h"

#include "app/form_html.h"
#include "platform/exception.h"

int RunApplication() {
  try {
    Application->Initialize();
    Application->SetTitle("Tavorin");
    Application->CreateForm(FormHTML);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  Application->DestroyForms();
  return 0;
}
