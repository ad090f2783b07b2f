#include "backend/ChipStore.h"

#include "sim/ChipStateFile.h"

namespace lpt51 {

// The file format and its atomic replacement belong to the virtual adapter;
// the backend only decides when to load and save.
LoadedChip loadChip(const std::string& path, sim::ChipKind kind) {
    sim::ChipStateLoad load = sim::loadChipState(path, kind);
    return LoadedChip{std::move(load.chip), load.fileExisted, std::move(load.error)};
}

std::optional<std::string> saveChip(const std::string& path, const sim::ChipState& chip) {
    return sim::saveChipState(path, chip);
}

}  // namespace lpt51
