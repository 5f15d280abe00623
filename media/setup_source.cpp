#include "media/setup_source.h"

namespace zev {

namespace {

constexpr TextView kUninstallKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The folder of the program an uninstall command line starts: the text inside its first
// pair of double quotes (or the whole text when it has none), up to its last backslash.
Text CachedSourceFolder(TextView uninstall_string) {
    Text program(uninstall_string);
    if (const size_t open = program.find(u'"'); open != Text::npos) {
        program.erase(open, 1);
        if (const size_t close = program.find(u'"', open); close != Text::npos) program.resize(close);
    }
    const size_t slash = program.rfind(u'\\');
    return slash == Text::npos ? Text() : program.substr(0, slash + 1);
}

}  // namespace

SetupSourcesMissing::SetupSourcesMissing() : std::runtime_error(ToUtf8(kSourcesRequiredMessage)) {}

bool HoldsSetupSources(FileSystem& files, TextView folder, TextView product_code) {
    const Text root = WithTrailingBackslash(folder);
    return files.FileExists(root + Text(product_code)) || files.FileExists(root + u"data\\" + Text(product_code));
}

SetupSourceResult LocateSetupFile(FileSystem& files, Registry& registry, const SetupSourceSettings& settings,
                                  TextView media_root, TextView relative_path, const FolderBrowser& browse) {
    SetupSourceResult result;
    result.media_root = WithTrailingBackslash(media_root);
    auto build = [&] { result.path = result.media_root + Text(relative_path); };
    build();
    if (files.FileExists(result.path)) return result;

    if (settings.media_mode == 3) {
        const RegistryRoot root =
            settings.all_users || settings.windows_9x ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
        Text cached;
        if (auto uninstall = registry.ReadString(root, Text(kUninstallKey) + settings.title, u"UninstallString"))
            cached = CachedSourceFolder(*uninstall);
        if (!settings.source_override.empty()) cached = WithTrailingBackslash(settings.source_override);
        if (!HoldsSetupSources(files, result.media_root, settings.product_code) && !cached.empty()) {
            result.media_root = cached;
            build();
        }
    }

    while (!files.FileExists(result.path)) {
        std::optional<Text> chosen;
        while (!settings.silent && browse) {
            chosen = browse(kLocateSourcesPrompt);
            if (!chosen || HoldsSetupSources(files, *chosen, settings.product_code)) break;
        }
        if (!chosen) {
            if (settings.abort_on_error) throw SetupSourcesMissing();
            return result;
        }
        result.media_root = WithTrailingBackslash(*chosen);
        if (!files.FileExists(result.media_root + settings.product_code)) result.media_root += u"data\\";
        build();
    }
    return result;
}

}  // namespace zev
