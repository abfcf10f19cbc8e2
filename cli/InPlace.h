// velmora-brand's in-place content for the brander's save.
#pragma once

#include "BlockLayout.h"
#include "SaveFile.h"

#include <array>
#include <cstdint>
#include <string>

namespace cli {

// An in-place brand: the file as it stands with its data area replaced. The
// new file is copied from the old one (in the kernel where the platform can),
// so the file is never held in memory; written over the old one, only the
// data area is written. Either way it first makes sure the file still has
// the size and the block that the search found.
class BrandedInPlace : public brand::SaveContent
{
public:
    BrandedInPlace(const std::string& path, uint64_t size, uint64_t blockOffset,
                   const std::array<uint8_t, brand::kDataAreaLength>& area);

    void WriteNew(CFile& file) const override;
    void WriteOver(LPCSTR pszPath) const override;

    // Why the save failed, when the reason was found here; empty otherwise.
    const std::string& Problem() const { return m_problem; }

private:
    uint64_t DataOffset() const { return m_blockOffset + brand::kDataAreaOffset; }
    void CheckUnchanged(intptr_t handle, uint64_t size) const;
    [[noreturn]] void Fail(const std::string& why) const;

    std::string m_path;
    uint64_t m_size, m_blockOffset;
    std::array<uint8_t, brand::kDataAreaLength> m_area;
    mutable std::string m_problem;
};

}  // namespace cli
