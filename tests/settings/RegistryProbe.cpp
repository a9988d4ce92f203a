// RegistryProbe: the settings store on the real registry, for the Wine tests. Runs one command
// given on the command line against the application's profile (the same key the program uses)
// and prints what it read or whether it wrote:
//   load                                         the five settings, one "name=value" a line
//   save-settings OLD_COUNT INTERVAL NOTIFY CHANNELS [FEED...]
//   save-channel CHANNEL
//   get-int SECTION ENTRY DEFAULT | get-string SECTION ENTRY DEFAULT
//   write-int SECTION ENTRY VALUE | write-string SECTION ENTRY TEXT | delete SECTION ENTRY
//   write-unterminated SECTION ENTRY TEXT        a REG_SZ stored without its terminator
//   handles COUNT                                the handle a new key gets, before and after COUNT reads and writes
#include "fw/CWinApp.h"
#include "settings/CSettings.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kRegistryKey[] = "Kestrova\\Lullcast";
const char kAppName[] = "Lullcast";

int Report(bool written)
{
    std::printf(written ? "ok\n" : "failed\n");
    return 0;
}

int Load(CProfileStore& profile)
{
    CSettings settings;
    settings.Load(profile);
    std::printf("Interval=%d\nNotify=%d\nChannels=%d\nPreferredChannel=%d\nFeedCount=%d\n", settings.m_interval,
                settings.m_notify, settings.m_channels, settings.m_preferredChannel, settings.m_myFeeds.GetSize());
    for (int i = 0; i < settings.m_myFeeds.GetSize(); ++i)
        std::printf("Feed%d=%s\n", i + 1, settings.m_myFeeds[i].GetString());
    return 0;
}

int SaveSettings(CProfileStore& profile, int argc, char** argv)
{
    if (argc < 6)
        return 2;
    CSettings settings;
    settings.m_interval = std::atoi(argv[3]);
    settings.m_notify = std::atoi(argv[4]);
    settings.m_channels = static_cast<int>(std::strtoul(argv[5], nullptr, 0));
    for (int i = 6; i < argc; ++i)
        settings.m_myFeeds.Add(argv[i]);
    settings.SaveAfterSettingsDialog(profile, std::atoi(argv[2]));
    std::printf("saved\n");
    return 0;
}

int SaveChannel(CProfileStore& profile, const char* channel)
{
    CSettings settings;
    settings.m_preferredChannel = std::atoi(channel);
    settings.SavePreferredChannel(profile);
    std::printf("saved\n");
    return 0;
}

int WriteUnterminated(const char* section, const char* entry, const char* text)
{
    std::string path = std::string("Software\\") + kRegistryKey + "\\" + kAppName + "\\" + section;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
        return 1;
    LONG result = RegSetValueExA(key, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                 static_cast<DWORD>(std::strlen(text)));
    RegCloseKey(key);
    return Report(result == ERROR_SUCCESS);
}

// The handle a key opened now gets: the lowest free slot of the process's handle table, so a
// handle left open in between shows as a different value.
unsigned long long NextHandleValue()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return reinterpret_cast<uintptr_t>(key);
}

int CompareHandles(CProfileStore& profile, int rounds)
{
    profile.WriteProfileInt("Settings", "Probe", 1);
    unsigned long long before = NextHandleValue();
    for (int i = 0; i < rounds; ++i) {
        profile.GetProfileInt("Settings", "Probe", 0);
        profile.GetProfileString("Settings", "Absent", "");
        profile.WriteProfileInt("Settings", "Probe", i);
        profile.WriteProfileString("Settings", "ProbeText", "x");
        profile.WriteProfileString("Settings", "ProbeText", nullptr);
    }
    std::printf("before=%llu\nafter=%llu\n", before, NextHandleValue());
    profile.WriteProfileString("Settings", "Probe", nullptr);
    return 0;
}

int Run(CProfileStore& profile, int argc, char** argv)
{
    std::string command = argv[1];
    if (command == "load")
        return Load(profile);
    if (command == "save-settings")
        return SaveSettings(profile, argc, argv);
    if (command == "save-channel" && argc == 3)
        return SaveChannel(profile, argv[2]);
    if (command == "get-int" && argc == 5) {
        std::printf("%u\n", profile.GetProfileInt(argv[2], argv[3], std::atoi(argv[4])));
        return 0;
    }
    if (command == "get-string" && argc == 5) {
        CString value = profile.GetProfileString(argv[2], argv[3], argv[4]);
        std::printf("length=%d\n[%s]\n", value.GetLength(), value.GetString());
        return 0;
    }
    if (command == "write-int" && argc == 5)
        return Report(profile.WriteProfileInt(argv[2], argv[3], std::atoi(argv[4])));
    if (command == "write-string" && argc == 5)
        return Report(profile.WriteProfileString(argv[2], argv[3], argv[4]));
    if (command == "delete" && argc == 4)
        return Report(profile.WriteProfileString(argv[2], argv[3], nullptr));
    if (command == "write-unterminated" && argc == 5)
        return WriteUnterminated(argv[2], argv[3], argv[4]);
    if (command == "handles" && argc == 3)
        return CompareHandles(profile, std::atoi(argv[2]));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: RegistryProbe COMMAND [ARGUMENTS]\n");
        return 2;
    }
    CWinApp app(kAppName);
    app.SetRegistryKey(kRegistryKey);
    int result = Run(app, argc, argv);
    if (result == 2)
        std::fprintf(stderr, "bad command line\n");
    std::fflush(stdout);
    return result;
}
