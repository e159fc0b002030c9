// Shared by the tool's tests: a private folder per test with the sample
// engine's images and a dosdevices folder, and the tool run against them.
#ifndef RKTOOLTESTSUPPORT_H
#define RKTOOLTESTSUPPORT_H

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "RKToolProcess.h"

class CRKToolTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The tool's environment: the sample engine reads images/, the library
    // looks in dosdevices/, and no one's own wine folder is in reach.
    std::map<std::string, std::string> Env(bool bSampleImages = true) const;
    // A disc in the drive: its image gets content.
    void PutDisc(char cLetter) const;
    std::filesystem::path ImagePath(char cLetter) const;

    RKToolRunResult Run(const std::vector<std::string>& vecArgs, double dTimeout = 60) const;
    // The run's stdout as one JSON document; a test failure when it is not.
    static nlohmann::ordered_json Document(const RKToolRunResult& stRun);

    std::filesystem::path m_pathDir;
    std::filesystem::path m_pathImages;
    std::filesystem::path m_pathDosDevices;
};

std::string RKToolPath();

#endif
