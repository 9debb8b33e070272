#include "ActChoice.h"

namespace Quorlix {

void ActChoice::chooseSample(const QString& sampleId)
{
    m_id = sampleId;
    m_control = false;
    emit changed();
}

void ActChoice::chooseControl(const QString& controlId)
{
    m_id = controlId;
    m_control = true;
    emit changed();
}

void ActChoice::ignore()
{
    m_id.clear();
    emit changed();
    emit ignored();
}

void ActChoice::consume()
{
    if (!m_control) {
        ignore();
        return;
    }
    m_id.clear();
    emit changed();
}

} // namespace Quorlix
