#include "SampleChoice.h"

namespace Quorlix {

void SampleChoice::chooseSample(const QString& sampleId)
{
    m_id = sampleId;
    m_control = false;
    emit changed();
}

void SampleChoice::chooseControl(const QString& controlId)
{
    m_id = controlId;
    m_control = true;
    emit changed();
}

void SampleChoice::ignore()
{
    m_id.clear();
    emit changed();
    emit ignored();
}

void SampleChoice::consume()
{
    if (!m_control) {
        ignore();
        return;
    }
    m_id.clear();
    emit changed();
}

} // namespace Quorlix
