// The data source's settings image, taken when made: set back on request
// and freed with the scope. What lets a page try settings (a trial load of
// every profile, an import that may fail) and leave them as they were.
#pragma once

#include "platform/windows.h"

class CQBK24DataSource;

class SettingsSnapshot {
public:
    explicit SettingsSnapshot(CQBK24DataSource* source);
    ~SettingsSnapshot();
    SettingsSnapshot(const SettingsSnapshot&) = delete;
    SettingsSnapshot& operator=(const SettingsSnapshot&) = delete;

    // False when the source could not give its image (low memory).
    bool Taken() const { return m_block != nullptr; }
    // Applies the image again; throws what the source throws.
    void Restore();

private:
    CQBK24DataSource* m_source;
    HGLOBAL m_block;
};
