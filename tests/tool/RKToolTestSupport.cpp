#include "RKToolTestSupport.h"

#include <fstream>
#include <random>

std::string RKToolPath()
{
    return RKTOOL_PATH;
}

void CRKToolTest::SetUp()
{
    namespace fs = std::filesystem;
    std::random_device device;
    m_pathDir = fs::temp_directory_path() / ("rkdrv_tool_test_" + std::to_string(device()));
    m_pathImages = m_pathDir / "images";
    m_pathDosDevices = m_pathDir / "dosdevices";
    fs::create_directories(m_pathImages);
    fs::create_directories(m_pathDosDevices);
    fs::create_directories(m_pathDir / "home");
}

void CRKToolTest::TearDown()
{
    std::error_code ec;
    std::filesystem::remove_all(m_pathDir, ec);
}

std::map<std::string, std::string> CRKToolTest::Env(bool bSampleImages) const
{
    std::map<std::string, std::string> mapEnv = {
        {"RKDRV_DOSDEVICES", m_pathDosDevices.string()},
        {"HOME", (m_pathDir / "home").string()},
    };
    if (bSampleImages)
        mapEnv["RKDRV_SAMPLE_IMAGES"] = m_pathImages.string();
#ifdef RKTOOL_ENGINE_PATH
    mapEnv["LD_LIBRARY_PATH"] = RKTOOL_ENGINE_PATH;
#endif
    return mapEnv;
}

std::filesystem::path CRKToolTest::ImagePath(char cLetter) const
{
    return m_pathImages / (std::string(1, cLetter) + ".iso");
}

void CRKToolTest::PutDisc(char cLetter) const
{
    std::ofstream(ImagePath(cLetter), std::ios::binary) << "disc image";
}

RKToolRunResult CRKToolTest::Run(const std::vector<std::string>& vecArgs, double dTimeout) const
{
    return RKToolRun(RKToolPath(), vecArgs, Env(), dTimeout);
}

nlohmann::ordered_json CRKToolTest::Document(const RKToolRunResult& stRun)
{
    try
    {
        return nlohmann::ordered_json::parse(stRun.strOut);
    }
    catch (const std::exception& e)
    {
        ADD_FAILURE() << "stdout is not one JSON document (" << e.what() << "):\n" << stRun.strOut;
        return nlohmann::ordered_json();
    }
}
