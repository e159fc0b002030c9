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

} // namespace

bool RKToolParseEngine(const std::string& strText, RKToolEngineChoice& stChoice)
{
    std::string strLower = RKToolLower(strText);
    for (const RKToolEngineName& stName : s_aEngineNames)
    {
        if (strLower == stName.szName)
        {
            stChoice.strName = stName.szName;
            stChoice.dwId = stName.dwId;
            return true;
        }
    }
    // "0x" and 1 to 8 hex digits, nothing else.
    if (strLower.size() < 3 || strLower.size() > 10 || strLower.compare(0, 2, "0x") != 0 ||
        strLower.find_first_not_of("0123456789abcdef", 2) != std::string::npos)
        return false;
    stChoice.dwId = static_cast<DWORD>(std::strtoul(strLower.c_str() + 2, nullptr, 16));
    stChoice.strName = RKToolHex(stChoice.dwId);
    return true;
}

std::string RKToolEngineModules(DWORD dwId)
{
    std::string strModules;
    for (const RKEngineModules& stEntry : g_aRKEngineModules)
    {
        for (const char* szModule : stEntry.aszModules)
        {
            if (stEntry.dwODD == dwId && szModule)
                strModules += (strModules.empty() ? "" : ", ") + std::string(szModule);
        }
    }
    return strModules;
}

std::string RKToolEngineHelp()
{
    std::string strHelp = "Engines (--engine, --to):\n";
    for (const RKToolEngineName& stName : s_aEngineNames)
    {
        std::string strName = stName.szName;
        strHelp += "  " + strName + std::string(7 - strName.size(), ' ') + RKToolHex(stName.dwId) + ": " +
                   RKToolEngineModules(stName.dwId) +
                   (stName.dwId == RKDRV_ENGINE_SC    ? ", the system engine; the default"
                    : stName.dwId == RKDRV_ENGINE_ANY ? ", the first that loads"
                                                      : "") +
                   "\n";
    }
    return strHelp + "  0xHEX  any engine identifier";
}

std::string RKToolEngineCallText(const char* szCall, WORD wLetter, const std::exception* pException)
{
    std::string strText =
        std::string(szCall) + (wLetter ? " of " + RKToolLetterText(wLetter) + ":" : "") + " threw";
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

bool CRKToolEngine::IsSystemModule() const
{
    return m_pManager && RKToolUpper(m_stModule.strName) == RKToolUpper(RKToolEngineModules(RKDRV_ENGINE_SC));
}

void CRKToolEngine::Clear()
{
    if (m_pManager)
        RKDRV::ClearODDManager(m_pManager);
    m_pManager = nullptr;
    m_stModule = RKToolFileInfo();
}
