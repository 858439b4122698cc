// The page's three property tables: 11 strings, 15 numbers and 7 flags,
// matched without regard to case. Stored properties map to a settings field;
// the others are read from the workflow's state or act when written.
#include <algorithm>
#include <array>

#include "launcher/FormLoaderPlugin.h"
#include "platform/AnsiText.h"

namespace qel {

namespace {

template <class T>
struct TStoredProperty {
  const char* Name;
  T TLauncherSettings::*Field;  // null: not stored, computed on read
};

using TStringProperty = TStoredProperty<std::string>;
using TNumberProperty = TStoredProperty<int32_t>;

const std::array<TStringProperty, 11> kStringProperties = {{
    {"gameguid", &TLauncherSettings::gameguid},
    {"initdata", &TLauncherSettings::initdata},
    {"updatedata", &TLauncherSettings::updatedata},
    {"installpath", nullptr},
    {"logid", &TLauncherSettings::logid},
    {"logcode", &TLauncherSettings::logcode},
    {"bgpic", &TLauncherSettings::bgpic},
    {"barpng", &TLauncherSettings::barpng},
    {"steppng", &TLauncherSettings::steppng},
    {"ftpinfo", &TLauncherSettings::ftpinfo},
    {"runinfo", &TLauncherSettings::runinfo},
}};

const std::array<TNumberProperty, 15> kNumberProperties = {{
    {"gamever", &TLauncherSettings::gamever},
    {"initver", &TLauncherSettings::initver},
    {"updatever", &TLauncherSettings::updatever},
    {"nowprogress", nullptr},
    {"showkind", nullptr},
    {"errcode", nullptr},
    {"disksize", &TLauncherSettings::disksize},
    {"srcid", &TLauncherSettings::srcid},
    {"dbid", &TLauncherSettings::dbid},
    {"gsid", &TLauncherSettings::gsid},
    {"qel_ver", nullptr},
    {"bar_x", &TLauncherSettings::bar_x},
    {"bar_y", &TLauncherSettings::bar_y},
    {"step_x", &TLauncherSettings::step_x},
    {"step_y", &TLauncherSettings::step_y},
}};

// In the order the writer tests them.
const std::array<const char*, 7> kFlagProperties = {
    "startapp", "abortgame", "resetdata", "removegame", "manage", "multirun", "unicodeparam",
};

template <class Table>
auto Find(const Table& table, const std::string& lower) {
  return std::find_if(table.begin(), table.end(),
                      [&](const auto& entry) { return lower == entry.Name; });
}

}  // namespace

bool TFormLoaderPlugin::IsStringProperty(std::string_view name) const {
  return Find(kStringProperties, AnsiLowerCase(name)) != kStringProperties.end();
}

std::string TFormLoaderPlugin::GetStringProperty(std::string_view name) const {
  std::string lower = AnsiLowerCase(name);
  auto entry = Find(kStringProperties, lower);
  if (entry == kStringProperties.end()) return {};
  if (entry->Field) return Settings_.*entry->Field;
  return InstallPath();
}

void TFormLoaderPlugin::SetStringProperty(std::string_view name, const std::string& value) {
  auto entry = Find(kStringProperties, AnsiLowerCase(name));
  if (entry != kStringProperties.end() && entry->Field) Settings_.*entry->Field = value;
}

bool TFormLoaderPlugin::IsNumberProperty(std::string_view name) const {
  return Find(kNumberProperties, AnsiLowerCase(name)) != kNumberProperties.end();
}

int32_t TFormLoaderPlugin::GetNumberProperty(std::string_view name) const {
  std::string lower = AnsiLowerCase(name);
  auto entry = Find(kNumberProperties, lower);
  if (entry == kNumberProperties.end()) return 0;
  if (entry->Field) return Settings_.*entry->Field;
  if (lower == "nowprogress") return Progress();
  if (lower == "showkind") return ShowKind();
  if (lower == "errcode") return ErrorCode();
  return kQelVersion;
}

void TFormLoaderPlugin::SetNumberProperty(std::string_view name, int32_t value) {
  auto entry = Find(kNumberProperties, AnsiLowerCase(name));
  if (entry != kNumberProperties.end() && entry->Field) Settings_.*entry->Field = value;
}

bool TFormLoaderPlugin::IsFlagProperty(std::string_view name) const {
  std::string lower = AnsiLowerCase(name);
  return std::any_of(kFlagProperties.begin(), kFlagProperties.end(),
                     [&](const char* flag) { return lower == flag; });
}

bool TFormLoaderPlugin::GetFlagProperty(std::string_view name) const {
  std::string lower = AnsiLowerCase(name);
  if (lower == "startapp") return Started_;
  if (lower == "abortgame") return Aborted_;
  if (lower == "manage") return Settings_.manage;
  if (lower == "multirun") return Settings_.multirun;
  if (lower == "unicodeparam") return Settings_.unicodeparam;
  return false;  // resetdata, removegame: actions, never set
}

void TFormLoaderPlugin::SetFlagProperty(std::string_view name, bool value) {
  std::string lower = AnsiLowerCase(name);
  if (lower == "startapp") {
    if (value && !Started_) StartGame();
  } else if (lower == "abortgame") {
    if (value && !Aborted_) AbortGame();
  } else if (lower == "resetdata") {
    if (value && Settings_.manage) ResetData();
  } else if (lower == "removegame") {
    if (value && Settings_.manage) RemoveGame();
  } else if (lower == "manage") {
    Settings_.manage = value;
  } else if (lower == "multirun") {
    Settings_.multirun = value;
  } else if (lower == "unicodeparam") {
    Settings_.unicodeparam = value;
  }
}

}  // namespace qel
