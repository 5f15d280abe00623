// The engine's binding to the archive library "zev.lib" (imported by name on Windows,
// linked in natively).
#pragma once

#include "platform/platform.h"

namespace zev {

class TSevenZipLibrary final : public ArchiveLibrary {
public:
    bool Create(TextView archive, int32_t level_code, const std::vector<Text>& files1,
                const std::vector<Text>& files2, int32_t mode, TextView switches, TextView password,
                const Progress& progress) override;
    bool Extract(TextView archive, TextView output_folder, const std::vector<Text>& entries, bool keep_paths,
                 TextView password, bool overwrite, const Progress& progress) override;
    bool Test(TextView archive, TextView password, const Progress& progress) override;
    bool Delete(TextView archive, const std::vector<Text>& entries, TextView password,
                const Progress& progress) override;
    bool List(TextView archive, TextView password, std::vector<Text>& names) override;
    uint32_t LastError() override { return last_error_; }
    void SetHelperFolder(TextView folder) override;

private:
    bool Finish(int32_t result);
    uint32_t last_error_ = 0;
};

}  // namespace zev
