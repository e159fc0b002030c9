#include "RKDRVManager.h"
#include "RKLog.h"

int CRKDRVManager::ReorderEngineVector(const std::vector<WORD>& vecEngines)
{
    CRKLog::GetInstance()->EnterFunction(RK_TEXT("CRKDRVManager::ReorderEngineVector"));

    std::vector<CRKWriter*> vecWriterNew;
    try
    {
        // The only allocation, made before the table is touched: the result
        // never holds more than one entry per nonzero letter plus every
        // current entry, so the appends below cannot fail half-way through.
        std::vector<CRKWriter*>::size_type nNeeded = m_vecWriters.size();
        for (WORD wLetter : vecEngines)
        {
            if (wLetter != 0)
                ++nNeeded;
        }
        vecWriterNew.reserve(nNeeded);
    }
    catch (...)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("Not enough memory to reorder writers"));
        CRKLog::GetInstance()->ExitFunction();
        return 0;
    }

    for (WORD wLetter : vecEngines)
    {
        if (wLetter == 0)
            continue;
        unsigned int uIndex = 0;
        CRKWriter* pWriter = GetWriterFromLetter(wLetter, uIndex);
        vecWriterNew.push_back(pWriter);
        // Emptied so that a repeated letter or the walk below no longer sees it.
        if (pWriter)
            m_vecWriters[uIndex] = nullptr;
    }

    // The writers no letter took, in their previous order; earlier
    // placeholders are dropped.
    for (CRKWriter* pWriter : m_vecWriters)
    {
        if (pWriter)
            vecWriterNew.push_back(pWriter);
    }

    // Neither branch allocates: the table keeps its own buffer when it is
    // large enough, otherwise it takes the new one.
    if (m_vecWriters.capacity() >= vecWriterNew.size())
        m_vecWriters.assign(vecWriterNew.begin(), vecWriterNew.end());
    else
        m_vecWriters.swap(vecWriterNew);

    CRKLog::GetInstance()->ExitFunction();
    return 0;
}
