// The sample engine's simulated drives, as a host sets them up: a private
// folder of disc images named by RKDRV_SAMPLE_IMAGES, every drive empty,
// and a disc that "arrives" in one drive after a delay. The example host
// and the rkdrv tool's demo both run on it.
#ifndef RKSAMPLEDRIVES_H
#define RKSAMPLEDRIVES_H

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "RKSampleImages.h"
#include "RKTypes.h"

class CRKSampleDrives
{
public:
    CRKSampleDrives() = default;
    // Stops a disc still to come, puts the variable back, removes the folder.
    ~CRKSampleDrives();
    CRKSampleDrives(const CRKSampleDrives&) = delete;
    CRKSampleDrives& operator=(const CRKSampleDrives&) = delete;

    // A new folder under the temporary one, with an empty image (no disc)
    // for each letter of szLetters, named by the variable from now on.
    // False when any of it failed.
    bool Create(const char* szLetters);
    const std::filesystem::path& Folder() const { return m_pathFolder; }

    // After msDelay, on a thread of its own, a disc goes into drive wLetter
    // and fnInserted runs; nothing happens when the drives go first. Once.
    void InsertLater(WORD wLetter, std::chrono::milliseconds msDelay, std::function<void()> fnInserted);

private:
    std::filesystem::path m_pathFolder;
    bool m_bVariableSet = false;
    bool m_bHadOld = false;
    std::string m_strOld;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_cvStop;
    bool m_bStop = false;
};

#endif
