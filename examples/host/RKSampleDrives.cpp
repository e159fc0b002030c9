#include "RKSampleDrives.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <system_error>

#include "RKExampleEnvironment.h"

CRKSampleDrives::~CRKSampleDrives()
{
    if (m_thread.joinable())
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStop = true;
        }
        m_cvStop.notify_one();
        m_thread.join();
    }
    if (m_bVariableSet)
        RKExampleSetEnvironment(RKSAMPLE_IMAGES_VARIABLE, m_bHadOld ? m_strOld.c_str() : nullptr);
    if (!m_pathFolder.empty())
    {
        std::error_code ec;
        std::filesystem::remove_all(m_pathFolder, ec);
    }
}

bool CRKSampleDrives::Create(const char* szLetters)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path pathTemp = fs::temp_directory_path(ec);
    if (ec)
        return false;
    std::random_device device;
    std::mt19937 generator(
        device() ^ static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int nTry = 0; nTry < 100 && m_pathFolder.empty(); ++nTry)
    {
        fs::path pathCandidate = pathTemp / ("rkdrv_sample_" + std::to_string(generator()));
        if (fs::create_directory(pathCandidate, ec))
            m_pathFolder = pathCandidate;
    }
    if (m_pathFolder.empty())
        return false;
    for (const char* p = szLetters; *p; ++p)
    {
        if (!std::ofstream(m_pathFolder / RKSampleImageName(static_cast<WORD>(*p)), std::ios::binary))
            return false;
    }
    const char* szOld = std::getenv(RKSAMPLE_IMAGES_VARIABLE);
    m_bHadOld = szOld != nullptr;
    m_strOld = szOld ? szOld : "";
    m_bVariableSet = RKExampleSetEnvironment(RKSAMPLE_IMAGES_VARIABLE, m_pathFolder.string().c_str());
    return m_bVariableSet;
}

void CRKSampleDrives::InsertLater(WORD wLetter, std::chrono::milliseconds msDelay,
                                  std::function<void()> fnInserted)
{
    std::filesystem::path pathImage = m_pathFolder / RKSampleImageName(wLetter);
    m_thread = std::thread(
        [this, pathImage, msDelay, fnInserted]()
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_cvStop.wait_for(lock, msDelay, [this]() { return m_bStop; }))
                return;
            std::ofstream(pathImage, std::ios::binary) << "RKDRV sample disc image\n";
            if (fnInserted)
                fnInserted();
        });
}
