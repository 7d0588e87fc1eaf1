#include "twainds/ui/SettingsSnapshot.h"

#include "twainds/CQBK24DataSource.h"

SettingsSnapshot::SettingsSnapshot(CQBK24DataSource* source)
    : m_source(source), m_block(static_cast<HGLOBAL>(source->GetDSDataBlock()))
{
}

SettingsSnapshot::~SettingsSnapshot()
{
    if (m_block)
        GlobalFree(m_block);
}

void SettingsSnapshot::Restore()
{
    if (m_block)
        m_source->SetDSDataBlock(m_block);
}
