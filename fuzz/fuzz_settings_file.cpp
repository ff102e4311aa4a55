// Settings files of arbitrary bytes: read by a store on an explicit file and by the shared
// store, every factory key read back through the converting readers, the catalogue consulted,
// a change written, and a validation run made under those settings.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "engine/VmkHTMLChecker.h"
#include "errors/ErrorCatalogue.h"
#include "host/headless/HeadlessDocument.h"
#include "settings/VmkUserDefaults.h"

using namespace vmk;

namespace {

void readEverything(const VmkUserDefaults& store) {
  for (const auto& [key, value] : store.factoryPrefsDictionary()) {
    (void)store.objectForKey(key);
    (void)store.boolForKey(key);
    (void)store.integerForKey(key);
    (void)store.realForKey(key);
    (void)store.stringForKey(key);
    (void)store.stringArrayForKey(key);
  }
  for (const ErrorCatalogueEntry& entry : factoryErrorCatalogue()) {
    (void)errorLevelForThisError(store, entry.errorKey);
    (void)errorNumberForThisError(store, entry.errorKey);
    (void)errorFixForThisError(store, entry.errorKey);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::setUpProcess();
  fuzz::useOnlyDictionary("HTML 4.01 Transitional");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // A store on an explicit file, changed and written back.
  const std::string explicitPath = fuzz::workDirectory() + "/explicit.plist";
  fuzz::writeFileOrDie(explicitPath, bytes);
  {
    VmkUserDefaults store(explicitPath);
    readEverything(store);
    store.changeIntValue(2, "Vmk_BeforeNewCheck");
    (void)setErrorLevelForThisError(store, "NoSuchElementName", 1);
    (void)setErrorFixForThisError(store, "NoSuchElementName", 0);
    VmkUserDefaults again(explicitPath);
    readEverything(again);
  }

  // The shared store on the same bytes, then a run that consults it.
  fuzz::writeFileOrDie(VmkUserDefaults::defaultSettingsFilePath(), bytes);
  VmkUserDefaults::resetSharedForTesting();
  VmkUserDefaults& shared = sharedVmkUserDefaults();
  shared.setWritesSettingsFile(false);
  readEverything(shared);

  static const std::unique_ptr<HeadlessDocument> document =
      HeadlessDocument::fromBytes(fuzz::sampleDocument(), "sample.html");
  std::unique_ptr<VmkHTMLChecker> checker = VmkHTMLChecker::initOneMore();
  checker->validateHTMLForDocument(*document, false, false);
  return 0;
}
