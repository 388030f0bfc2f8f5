#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>

#include "audio/block_coder.h"
#include "audio/chains.h"
#include "wav_test_files.h"

namespace {

using namespace wav_test;

std::wstring Path() { return TestPath(); }

// Stand-ins for a block codec, so the chain templates can be tried with any
// format: one "GSM" block holds the first 65 bytes of 320 samples, and
// decodes to 320 samples that repeat its bytes.
class FakeEncoderGSM : public audio::BlockEncoderPCM<audio::GSMData>, public audio::Encoder {
 public:
  std::uint32_t get_bitrate() override { return 13000; }

 protected:
  void get_block_format(audio::PCMData& out, const audio::PCMData& in) override {
    out = in.channels == 1 && in.bits == 16 && in.rate == 8000 ? audio::PCMData(audio::SharedBuffer(640), 1, 16, 8000)
                                                               : audio::PCMData();
  }
  void encode_block(audio::GSMData& out, const audio::PCMData& in) override {
    out.buffer = audio::SharedBuffer(in.buffer, 0, 65);
  }
};

class FakeDecoderGSM : public audio::BlockDecoderPCM<audio::GSMData> {
 protected:
  void decode_block(audio::PCMData& out, const audio::GSMData& in) override {
    std::string samples;
    for (std::uint32_t b = 0; b < in.size() / 65; ++b) {
      for (int r = 0; r < 10; ++r) samples += Bytes(audio::SharedBuffer(in.buffer, b * 65, 64));
    }
    out = PCMBlock(samples);
  }
  std::uint32_t count_blocks(std::uint32_t frames) override { return (frames + 319) / 320; }
};

using GSMPlayChain = audio::PlayChainReaderDecoder<audio::FileReaderWAVGSM, FakeDecoderGSM>;
using GSMRecordChain = audio::RecordChainBase<FakeEncoderGSM, audio::FileWriterWAVGSM, audio::FileReaderWAVGSM>;

std::string PullAll(audio::Provider<audio::PCMData>* provider) {
  audio::Consumer<audio::PCMData> puller;
  audio::connect(provider, &puller);
  std::string all;
  for (;;) {
    audio::PCMData block;
    puller.pull(block, 16384);
    if (block.size() == 0) break;
    all += Bytes(block.buffer);
  }
  audio::connect<audio::PCMData>(provider, nullptr);
  return all;
}

TEST(Chains, APCMRecordingPlaysBackThroughThePCMChain) {
  const std::string samples = Sine(12000, 1, 440.0, 8000);
  {
    std::unique_ptr<audio::RecordChain> chain(audio::create_record_chain(Path(), L"PCM", 0, false));
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->get_format_name(), L"PCM");
    chain->get_consumer()->on_data(PCMBlock(samples.substr(0, 10000)));
    chain->get_consumer()->on_data(PCMBlock(samples.substr(10000)));
    EXPECT_EQ(chain->get_encoder()->get_bitrate(), 128000u);
    EXPECT_EQ(chain->get_writer()->get_written(), samples.size());
    EXPECT_TRUE(chain->get_writer()->is_open());
  }
  std::unique_ptr<audio::PlayChain> play(audio::create_play_chain(Path()));
  ASSERT_NE(play, nullptr);
  EXPECT_EQ(play->get_format_name(), L"PCM");
  EXPECT_EQ(play->get_title(), Path());
  EXPECT_DOUBLE_EQ(play->get_reader()->get_length_time(), 1.5);
  EXPECT_TRUE(SameBytes(PullAll(play->get_provider()), samples));
  EXPECT_TRUE(play->get_reader()->is_end());
}

TEST(Chains, RecordFormatNamesAreMatchedExactly) {
  struct Case {
    const wchar_t* name;
    bool made;
  };
  const Case cases[] = {
      {L"PCM", true},  {L"pcm", false},  {L"Mp3", false}, {L"MP3", false}, {L"", false},
      {L"WAV", false}, {L"ADPCM", true}, {L"GSM", true},  {L"mp3", true},
  };
  for (const Case& c : cases) {
    const std::wstring name = c.name;
    std::unique_ptr<audio::RecordChain> chain(audio::create_record_chain(Path(), name, 32000, false));
    EXPECT_EQ(chain != nullptr, c.made) << std::string(name.begin(), name.end());
    if (!chain) continue;
    EXPECT_EQ(chain->get_format_name(), name);
    chain.reset();
    // A WAV writer makes its file on the first block; the MP3 writer at once.
    EXPECT_EQ(Exists(Path()), name == L"mp3");
    os::delete_file(Path());
  }
}

TEST(Chains, ThePlayFactoryTakesTheFirstFormatThatOpensTheFile) {
  struct Case {
    const char* what;
    std::string bytes;
    const wchar_t* format;  // null: no chain
  };
  const Case cases[] = {
      {"PCM", PCMWav(Ramp(800)), L"PCM"},
      // An empty file counts as an open MP3 file with nothing in it.
      {"empty file", "", L"mp3"},
      {"junk", Ramp(5000), nullptr},
      {"PCM with a zero channel count", Riff(FmtChunk({1, 0, 8000, 0, 0, 16, ""}) + Chunk("data", "abcd")), nullptr},
      {"MS ADPCM", ADPCMWav(Ramp(512), 1000), L"ADPCM"},
      {"GSM", GSMWav(Ramp(650), 3200), L"GSM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(Path(), c.bytes);
    std::unique_ptr<audio::PlayChain> chain(audio::create_play_chain(Path()));
    if (c.format == nullptr) {
      EXPECT_EQ(chain, nullptr);
      continue;
    }
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->get_format_name(), c.format);
    EXPECT_TRUE(chain->get_reader()->is_open());
  }
  EXPECT_EQ(audio::create_play_chain(L"%my_documents%/missing.wav"), nullptr);
}

TEST(Chains, ADecoderChainDecodesTheBlocksItsReaderGives) {
  const std::string data = Ramp(65 * 4);
  WriteFile(Path(), GSMWav(data, 320 * 4));
  GSMPlayChain chain(new audio::FileReaderWAVGSM(Path()), Path(), L"GSM");
  ASSERT_TRUE(chain.get_reader()->is_open());
  EXPECT_EQ(chain.get_reader()->get_length(), 4u);
  std::string expected;
  for (int b = 0; b < 4; ++b) {
    for (int r = 0; r < 10; ++r) expected += data.substr(b * 65, 64);
  }
  EXPECT_TRUE(SameBytes(PullAll(chain.get_provider()), expected));
  EXPECT_TRUE(chain.get_reader()->is_end());
}

TEST(Chains, ARecordChainEncodesIntoItsWriterAndFinishesTheFileLast) {
  {
    GSMRecordChain chain(new FakeEncoderGSM, Path(), L"GSM", false);
    EXPECT_EQ(chain.get_encoder()->get_bitrate(), 13000u);
    chain.get_consumer()->on_data(PCMBlock(Ramp(640 * 2 + 100)));
    EXPECT_EQ(chain.get_writer()->get_written(), 130u);
  }
  const std::string file = ReadFile(Path());
  ASSERT_EQ(file.size(), 60u + 195u + 1u) << "the odd data chunk's pad byte";
  EXPECT_EQ(Get32(file, 56), 195u) << "the encoder's flushed last block is in the final header";
  EXPECT_EQ(Get32(file, 48), 690u) << "the samples recorded, not the padding of the last block";
  EXPECT_TRUE(SameBytes(file.substr(60, 195),
                        Ramp(640).substr(0, 65) + Ramp(640, 640).substr(0, 65) + Ramp(100, 1280).substr(0, 65)));
}

TEST(Chains, AReaderIsOfferedOnlyToTheRecordChainOfItsFormat) {
  const std::wstring pcm_source = TestPath(".pcm.wav");
  const std::wstring gsm_source = TestPath(".gsm.wav");
  WriteFile(pcm_source, PCMWav(Ramp(3000)));
  WriteFile(gsm_source, GSMWav(Ramp(65 * 3), 320 * 3));
  const auto play_chain = [&](int kind) -> std::unique_ptr<audio::PlayChain> {
    if (kind == 0) {
      return std::make_unique<audio::PlayChainReaderOnly<audio::FileReaderWAVPCM>>(
          new audio::FileReaderWAVPCM(pcm_source), pcm_source, L"PCM");
    }
    return std::make_unique<GSMPlayChain>(new audio::FileReaderWAVGSM(gsm_source), gsm_source, L"GSM");
  };
  const auto record_chain = [&](int kind) -> std::unique_ptr<audio::RecordChain> {
    if (kind == 0) return std::make_unique<audio::RecordChainWAV>(Path(), false);
    return std::make_unique<GSMRecordChain>(new FakeEncoderGSM, Path(), L"GSM", false);
  };
  for (int play = 0; play < 2; ++play) {
    for (int record = 0; record < 2; ++record) {
      SCOPED_TRACE(testing::Message() << "play " << play << " record " << record);
      os::delete_file(Path());
      {
        auto source = play_chain(play);
        auto target = record_chain(record);
        const bool linked = source->accept(*target);
        EXPECT_EQ(linked, play == record);
        // Copying the whole file reaches the target's writer only when linked.
        source->get_reader()->read(source->get_reader()->get_length());
        EXPECT_EQ(target->get_writer()->get_written(), linked ? (play == 0 ? 3000u : 195u) : 0u);
      }
      if (play == record) {
        const std::string copied = ReadFile(Path());
        EXPECT_TRUE(
            SameBytes(copied.substr(play == 0 ? 44 : 60, play == 0 ? 3000 : 195), play == 0 ? Ramp(3000) : Ramp(195)));
      }
    }
  }
}

// Files of the compressed formats, made at test time by their encoders from
// a WAV file we write; each opens in its own chain, whatever its name.
TEST(Chains, CompressedFilesOpenInTheirOwnChains) {
  struct Case {
    const char* tool;
    const char* command;  // "$in" and "$out" stand for the two files
    const wchar_t* format;
  };
  const Case cases[] = {
      {"oggenc", "oggenc -Q -o $out $in", L"Vorbis"},
      {"mpcenc", "mpcenc --silent --overwrite $in $out.mpc && mv $out.mpc $out", L"MPC"},
      {"lame", "lame --quiet $in $out", L"mp3"},
  };
  const std::wstring source = TestPath(".src.wav");
  {
    audio::FileWriterWAVPCM writer(source, false);
    writer.on_data(PCMBlock(Sine(44100, 2, 440.0, 44100), 2, 16, 44100));
  }
  int ran = 0;
  for (const Case& c : cases) {
    if (!HasTool(c.tool)) continue;
    SCOPED_TRACE(c.tool);
    ++ran;
    std::string command = c.command;
    command.replace(command.find("$in"), 3, Quote(TestHostPath(".src.wav")));
    for (std::size_t at; (at = command.find("$out")) != std::string::npos;)
      command.replace(at, 4, Quote(TestHostPath(".audio")));
    ASSERT_TRUE(RunTool(command)) << command;
    std::unique_ptr<audio::PlayChain> chain(audio::create_play_chain(TestPath(".audio")));
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->get_format_name(), c.format);
    EXPECT_EQ(chain->get_title(), TestPath(".audio"));
    EXPECT_EQ(chain->get_reader()->get_sample_rate(), 44100u);
    EXPECT_NEAR(chain->get_reader()->get_length_time(), 1.0, 0.1);
    audio::PCMData block;
    audio::Consumer<audio::PCMData> puller;
    audio::connect(chain->get_provider(), &puller);
    EXPECT_GT(puller.pull(block, 4096).size(), 0u);
    audio::connect<audio::PCMData>(chain->get_provider(), nullptr);
  }
  if (ran == 0) GTEST_SKIP() << "none of the encoders is installed";
}

TEST(Chains, AnMP3ChainIsTitledByItsTagWhenTheTagHasATitle) {
  if (!HasTool("lame")) GTEST_SKIP() << "lame is not installed";
  {
    audio::FileWriterWAVPCM writer(TestPath(".src.wav"), false);
    writer.on_data(PCMBlock(Sine(22050, 1, 440.0, 22050), 1, 16, 22050));
  }
  struct Case {
    const char* tag;
    std::wstring title;
  };
  const Case cases[] = {{"--tt 'Night Song' --ta Someone", L"Night Song"}, {"--ta Someone", Path()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    const std::string command = "lame --quiet --id3v1-only " + std::string(c.tag) + " " +
                                Quote(TestHostPath(".src.wav")) + " " + Quote(TestHostPath());
    ASSERT_TRUE(RunTool(command)) << command;
    std::unique_ptr<audio::PlayChain> chain(audio::create_play_chain(Path()));
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->get_format_name(), L"mp3");
    EXPECT_EQ(chain->get_title(), c.title);
  }
}

// The last block of a recording is padded with silence; the file's "fact"
// count and what its reader plays end with the last recorded sample.
TEST(Chains, BlockCodedRecordingsPlayBackThroughTheirChains) {
  struct Case {
    const wchar_t* format;
    std::uint32_t samples;
    std::uint32_t blocks;
    std::uint32_t fact_at, data_at, block_bytes;
  };
  for (const Case& c : {Case{L"ADPCM", 8000, 16, 78, 90, 256}, Case{L"GSM", 8000, 25, 48, 60, 65},
                        Case{L"ADPCM", 7900, 16, 78, 90, 256}, Case{L"GSM", 7900, 25, 48, 60, 65}}) {
    SCOPED_TRACE(std::string(c.format, c.format + std::wcslen(c.format)) + " " + std::to_string(c.samples));
    const std::string samples = Sine(c.samples, 1, 440.0, 8000);
    {
      std::unique_ptr<audio::RecordChain> chain(audio::create_record_chain(Path(), c.format, 0, false));
      ASSERT_NE(chain, nullptr);
      chain->get_consumer()->on_data(PCMBlock(samples));
      EXPECT_TRUE(chain->get_writer()->is_open());
    }
    const std::string file = ReadFile(Path());
    const std::uint32_t data = c.blocks * c.block_bytes;
    EXPECT_EQ(Get32(file, c.fact_at), c.samples);
    EXPECT_EQ(Get32(file, c.data_at - 4), data);
    EXPECT_EQ(file.size(), c.data_at + data + data % 2) << "an odd data chunk has its pad byte";
    EXPECT_EQ(Get32(file, 4), file.size() - 8);
    std::unique_ptr<audio::PlayChain> play(audio::create_play_chain(Path()));
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->get_format_name(), c.format);
    EXPECT_EQ(play->get_reader()->get_length(), c.blocks);
    const std::string decoded = PullAll(play->get_provider());
    ASSERT_EQ(decoded.size(), samples.size());
    // A lossy copy of the tone: close to it sample by sample.
    double error = 0;
    double power = 0;
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
      const double a = static_cast<std::int16_t>(Get16(samples, i));
      const double b = static_cast<std::int16_t>(Get16(decoded, i));
      error += (a - b) * (a - b);
      power += a * a;
    }
    EXPECT_LT(error, power / 10);

    // Its reader copies into a record chain of the same format as it is.
    std::unique_ptr<audio::RecordChain> pcm(audio::create_record_chain(TestPath(".pcm.wav"), L"PCM", 0, false));
    EXPECT_FALSE(play->accept(*pcm));
    std::unique_ptr<audio::RecordChain> same(audio::create_record_chain(TestPath(".copy.wav"), c.format, 0, false));
    play->get_reader()->seek(0);
    ASSERT_TRUE(play->accept(*same));
    EXPECT_TRUE(play->get_reader()->read(play->get_reader()->get_length()));
    same.reset();
    EXPECT_TRUE(SameBytes(ReadFile(TestPath(".copy.wav")), ReadFile(Path())));
  }
}

TEST(Chains, AnMP3RecordingPlaysBackAndCopiesFrameForFrame) {
  {
    std::unique_ptr<audio::RecordChain> chain(audio::create_record_chain(Path(), L"mp3", 32000, false));
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->get_encoder()->get_bitrate(), 32000u);
    chain->get_consumer()->on_data(PCMBlock(Sine(22050, 1, 440.0, 22050), 1, 16, 22050));
    EXPECT_TRUE(chain->get_writer()->is_open());
  }
  std::unique_ptr<audio::PlayChain> play(audio::create_play_chain(Path()));
  ASSERT_NE(play, nullptr);
  EXPECT_EQ(play->get_format_name(), L"mp3");
  EXPECT_EQ(play->get_reader()->get_sample_rate(), 22050u);
  EXPECT_NEAR(play->get_reader()->get_length_time(), 1.0, 0.1);

  std::unique_ptr<audio::RecordChain> copy(audio::create_record_chain(TestPath(".copy.mp3"), L"mp3", 32000, false));
  ASSERT_TRUE(play->accept(*copy));
  play->get_reader()->read(play->get_reader()->get_length());
  copy.reset();
  EXPECT_TRUE(SameBytes(ReadFile(TestPath(".copy.mp3")), ReadFile(Path())));
}

}  // namespace
