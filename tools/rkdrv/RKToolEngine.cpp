#include "RKToolEngine.h"

#include <cstdlib>

#include "RKToolEngineCall.h"
#include "RKToolText.h"

namespace
{
struct RKToolEngineName
{
    const char* szName;
    DWORD dwId;
};

const RKToolEngineName s_aEngineNames[] = {
    {"sc", RKDRV_ENGINE_SC}, {"auto", RKDRV_ENGINE_ANY}, {"cl", RKDRV_ENGINE_CL},
    {"rd", RKDRV_ENGINE_RD}, {"im", RKDRV_ENGINE_IM},
};

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
} // namespace

bool RKToolParseEngine(const std::string& strText, RKToolEngineChoice& stChoice)
{
    std::string strLower = strText;
    for (char& c : strLower)
    {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    for (const RKToolEngineName& stName : s_aEngineNames)
    {
        if (strLower == stName.szName)
        {
            stChoice.strName = stName.szName;
            stChoice.dwId = stName.dwId;
            return true;
        }
    }
    if (strLower.size() < 3 || strLower.size() > 10 || strLower.compare(0, 2, "0x") != 0)
        return false;
    for (std::string::size_type i = 2; i < strLower.size(); ++i)
    {
        if (!IsHexDigit(strLower[i]))
            return false;
    }
    stChoice.dwId = static_cast<DWORD>(std::strtoul(strLower.c_str() + 2, nullptr, 16));
    stChoice.strName = RKToolHex(stChoice.dwId);
    return true;
}

std::string RKToolEngineModules(DWORD dwId)
{
    switch (dwId)
    {
    case RKDRV_ENGINE_SC:
        return "RKDRVSC";
    case RKDRV_ENGINE_RD:
        return "RKDRVRD";
    case RKDRV_ENGINE_CL:
        return "RKDRVCL";
    case RKDRV_ENGINE_IM:
        return "RKDRVIM";
    case RKDRV_ENGINE_ANY:
        return "RKDRVCL, RKDRVRD, RKDRVIM, RKDRVSC";
    default:
        return "";
    }
}

std::string RKToolEngineCallText(const char* szCall, WORD wLetter, const std::exception* pException)
{
    std::string strText = std::string(szCall) + (wLetter ? " of " + RKToolLetterText(wLetter) + ":" : "") + " threw";
    const char* szWhat = pException ? pException->what() : nullptr;
    return szWhat && *szWhat ? strText + ": " + szWhat : strText + " an exception";
}

CRKToolEngine::~CRKToolEngine()
{
    Clear();
}

bool CRKToolEngine::Load(const RKToolEngineChoice& stChoice)
{
    Clear();
    m_stChoice = stChoice;
    m_pManager = RKDRV::GetODDManager(stChoice.dwId);
    if (m_pManager)
        m_stModule = RKToolEngineFile(m_pManager->GetModule());
    return m_pManager != nullptr;
}

bool CRKToolEngine::Reload(const RKToolEngineChoice& stChoice)
{
    if (!m_pManager)
        return false;
    // The library releases the old manager first; on failure it leaves none
    // (pManager null), or the old one untouched when it could not even
    // record the old drives.
    if (!RKDRV::ReloadODDManager(m_pManager, stChoice.dwId))
    {
        if (!m_pManager)
            m_stModule = RKToolFileInfo();
        return false;
    }
    m_stChoice = stChoice;
    m_stModule = RKToolEngineFile(m_pManager->GetModule());
    return true;
}

void CRKToolEngine::Clear()
{
    if (m_pManager)
        RKDRV::ClearODDManager(m_pManager);
    m_pManager = nullptr;
    m_stModule = RKToolFileInfo();
}

bool CRKToolEngine::IsSystemEngine() const
{
    return m_pManager && RKToolUpper(m_stModule.strName) == "RKDRVSC";
}
