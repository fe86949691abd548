// vexo_tsf.dll as COM and TSF meet it under Windows (or Wine): the class
// object and its factory, the TextService's interfaces and reference counts,
// registration in the registry, and activation by the system's own thread
// manager, which creates the service from its registry entry.
#include <gtest/gtest.h>
#include <windows.h>
#include <msctf.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/dll_harness_win32.h"
#include "tsf/guids.h"
#include "tsf/register.h"

namespace vexo::tsf {
namespace {

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using PlainFn = HRESULT(WINAPI*)();

using vexo::test::g_dll;
using vexo::test::g_profile_dir;
using vexo::test::logged;
using vexo::test::was_logged;

const GUID kClsid = to_windows(kTextServiceClsid);
const GUID kProfile = to_windows(kProfileGuid);

template <typename Fn>
Fn export_of(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(g_dll, name)));
}

std::wstring dll_path() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(g_dll, path, MAX_PATH);
  return std::wstring(path, n);
}

// The default value (empty name) or a named value of a key below HKCR.
std::wstring class_value(const std::wstring& key, const wchar_t* name) {
  wchar_t data[1024];
  DWORD bytes = sizeof data;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  return data;
}

void write_settings(const std::string& text) {
  std::ofstream(std::filesystem::path(g_profile_dir + L"\\vexo\\settings.ini"),
                std::ios::binary | std::ios::trunc)
      << text;
}

IClassFactory* class_factory() {
  void* out = nullptr;
  EXPECT_EQ(export_of<GetClassObjectFn>("DllGetClassObject")(kClsid, IID_IClassFactory, &out),
            S_OK);
  return static_cast<IClassFactory*>(out);
}

TEST(ClassObject, OnlyForTheServiceClass) {
  auto get = export_of<GetClassObjectFn>("DllGetClassObject");
  ASSERT_NE(get, nullptr);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(get(IID_IClassFactory, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(get(kClsid, IID_IClassFactory, nullptr), E_POINTER);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(get(kClsid, IID_ITfThreadMgr, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  IClassFactory* factory = class_factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(export_of<PlainFn>("DllCanUnloadNow")(), S_FALSE);
}

TEST(ClassObject, CreateInstanceRefusesAggregation) {
  IClassFactory* factory = class_factory();
  ASSERT_NE(factory, nullptr);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(factory, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  factory->Release();
}

TEST(TextService, AnswersItsInterfacesAndCountsReferences) {
  IClassFactory* factory = class_factory();
  ASSERT_NE(factory, nullptr);
  IUnknown* service = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&service)),
            S_OK);
  factory->Release();
  EXPECT_EQ(service->AddRef(), 2u);
  EXPECT_EQ(service->Release(), 1u);

  const GUID interfaces[] = {IID_IUnknown,
                             IID_ITfTextInputProcessor,
                             kIidTextInputProcessorEx,
                             IID_ITfThreadMgrEventSink,
                             IID_ITfTextEditSink,
                             IID_ITfKeyEventSink};
  std::vector<IUnknown*> held;
  for (const GUID& iid : interfaces) {
    IUnknown* answer = nullptr;
    EXPECT_EQ(service->QueryInterface(iid, reinterpret_cast<void**>(&answer)), S_OK);
    ASSERT_NE(answer, nullptr);
    held.push_back(answer);
  }
  // Every interface leads back to the same identity.
  for (IUnknown* answer : held) {
    IUnknown* identity = nullptr;
    ASSERT_EQ(answer->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, service);
    identity->Release();
  }
  void* wrong = reinterpret_cast<void*>(1);
  EXPECT_EQ(service->QueryInterface(IID_IClassFactory, &wrong), E_NOINTERFACE);
  EXPECT_EQ(wrong, nullptr);
  EXPECT_EQ(service->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  // Sinks called outside an activation do nothing and fail nothing.
  auto* keys = static_cast<ITfKeyEventSink*>(static_cast<void*>(held[5]));
  BOOL eaten = TRUE;
  EXPECT_EQ(keys->OnTestKeyDown(nullptr, 'A', 0, &eaten), S_OK);
  EXPECT_FALSE(eaten);
  auto* processor = static_cast<ITfTextInputProcessor*>(static_cast<void*>(held[1]));
  EXPECT_EQ(processor->Activate(nullptr, 1), E_POINTER);
  EXPECT_EQ(processor->Deactivate(), S_OK);

  ULONG left = 0;
  for (IUnknown* answer : held) left = answer->Release();
  EXPECT_EQ(left, 1u);
  EXPECT_EQ(service->Release(), 0u);
}

TEST(Registration, ClassKeysAndUnregisteringTwice) {
  const std::wstring clsid_key = L"CLSID\\{6A2F93D1-4C0B-4E7A-9D35-71C8B0E5A2F4}";
  // Wine's profile manager does not implement RegisterProfile, so the result
  // may be that failure; the class keys are written before it either way.
  export_of<PlainFn>("DllRegisterServer")();
  EXPECT_EQ(class_value(clsid_key, nullptr), L"vexo");
  EXPECT_EQ(class_value(clsid_key + L"\\InprocServer32", nullptr), dll_path());
  EXPECT_EQ(class_value(clsid_key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");

  auto unregister = export_of<PlainFn>("DllUnregisterServer");
  EXPECT_EQ(unregister(), S_OK);
  EXPECT_EQ(class_value(clsid_key, nullptr), L"<missing>");
  EXPECT_EQ(unregister(), S_OK);
  EXPECT_TRUE(was_logged("unregistered"));
}

// Makes the service the active text service of this process through the older
// profile interface, which Wine implements; it only takes the current
// language, so the profile is added for that one.
void select_service(ITfInputProcessorProfiles* profiles) {
  LANGID language = 0;
  ASSERT_EQ(profiles->GetCurrentLanguage(&language), S_OK);
  ASSERT_EQ(profiles->Register(kClsid), S_OK);
  ASSERT_EQ(profiles->AddLanguageProfile(kClsid, language, kProfile, L"vexo", 4, nullptr, 0, 0),
            S_OK);
  ASSERT_EQ(profiles->EnableLanguageProfile(kClsid, language, kProfile, TRUE), S_OK);
  ASSERT_EQ(profiles->ActivateLanguageProfile(kClsid, language, kProfile), S_OK);
}

TEST(Activation, ByTheThreadManagerOnAndOffForThisApp) {
  export_of<PlainFn>("DllRegisterServer")();
  ITfInputProcessorProfiles* profiles = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_TF_InputProcessorProfiles, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ITfInputProcessorProfiles, reinterpret_cast<void**>(&profiles)),
            S_OK);
  // The service is selected for the thread of an existing thread manager.
  ITfThreadMgr* manager = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_TF_ThreadMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ITfThreadMgr,
                             reinterpret_cast<void**>(&manager)),
            S_OK);
  select_service(profiles);

  // Listed in disabled_apps: activated, sinks advised, but off.
  write_settings("disabled_apps = tsf_com_test.exe\n");
  TfClientId client = 0;
  ASSERT_EQ(manager->Activate(&client), S_OK);
  EXPECT_TRUE(was_logged("create instance"));
  EXPECT_TRUE(was_logged("activate: off for this app (settings)"));
  EXPECT_FALSE(was_logged("activate"));
  EXPECT_EQ(manager->Deactivate(), S_OK);
  EXPECT_TRUE(was_logged("deactivate"));

  write_settings("");
  ASSERT_EQ(manager->Activate(&client), S_OK);
  EXPECT_TRUE(was_logged("activate"));
  // A pushed and focused context reaches the service through the thread
  // manager sink it advised; binding the text-edit sink to it must not fail
  // (checked with the log below).
  ITfDocumentMgr* document = nullptr;
  ITfContext* context = nullptr;
  TfEditCookie cookie = 0;
  ASSERT_EQ(manager->CreateDocumentMgr(&document), S_OK);
  ASSERT_EQ(document->CreateContext(client, 0, nullptr, &context, &cookie), S_OK);
  EXPECT_EQ(document->Push(context), S_OK);
  EXPECT_EQ(manager->SetFocus(document), S_OK);
  EXPECT_EQ(manager->Deactivate(), S_OK);
  document->Pop(TF_POPF_ALL);
  context->Release();
  document->Release();

  // A failure to advise a sink would have been logged.
  for (const std::string& line : logged()) {
    EXPECT_EQ(line.find("failed"), std::string::npos) << line;
    EXPECT_EQ(line.find("panic"), std::string::npos) << line;
  }
  manager->Release();
  profiles->Unregister(kClsid);
  profiles->Release();
  EXPECT_EQ(export_of<PlainFn>("DllUnregisterServer")(), S_OK);
}

}  // namespace
}  // namespace vexo::tsf

int main(int argc, char** argv) {
  return vexo::test::run_dll_tests(argc, argv, L"vexo-com-");
}
