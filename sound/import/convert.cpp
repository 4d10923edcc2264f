#include "sound/import/convert.h"

#include <algorithm>

#include "sound/import/channel_mix.h"
#include "sound/import/messages.h"
#include "sound/import/rate_rule.h"
#include "sound/import/sample_stream.h"
#include "sound/import/sndfile_access.h"

namespace vokra {
namespace {

using namespace import_detail;

class Converter {
public:
    Converter(SNDFILE* file, const SF_INFO& sf, const ImportOptions& options, std::string name,
              std::int64_t promisedFrames)
        : file_(file),
          sf_(sf),
          options_(options),
          name_(std::move(name)),
          promisedFrames_(promisedFrames) {}

    ImportResult Run() {
        ImportResult r;
        r.info = InfoOf(sf_);
        if (!Usable(sf_)) return Status(r, ImportStatus::Unreadable);
        if (options_.channel < 0 || options_.channel > sf_.channels) {
            r.status = ImportStatus::BadOption;
            r.message = name_ + " has " + Channels(sf_.channels) + "; there is no channel " +
                        std::to_string(options_.channel) + ".";
            return r;
        }
        if (LengthUnknown(sf_)) {
            // Nothing says how long it is: decode it once to learn, then start again.
            const sf_count_t limit = CountLimit(sf_.samplerate);
            const sf_count_t counted = CountFrames(file_, sf_.channels, limit, [this] {
                return !options_.progress || options_.progress(0.0);
            });
            if (counted < 0) return Status(r, ImportStatus::Cancelled);
            sf_.frames = counted;
            r.info.frames = counted;
            r.info.lengthFromDecoding = true;
            r.info.longerThanFrames = counted >= limit;
            if (r.info.longerThanFrames) {
                r.status = ImportStatus::TooLong;
                r.message = TooLongForImport(name_, r.info);
                return r;
            }
            if (sf_seek(file_, 0, SEEK_SET) != 0) {
                r.status = ImportStatus::Failed;
                r.message = "Could not read " + name_ + " a second time after learning its length.";
                return r;
            }
        } else if (promisedFrames_ > sf_.frames) {
            r.info.frames = promisedFrames_;  // the header's word, for the notice at the end
        }
        if (sf_.frames == 0) return Status(r, ImportStatus::TooShort);

        RatePlan plan;
        if (options_.rate != 0) {
            if (options_.rate < kMinLoadableRate || options_.rate > kMaxLoadableRate) {
                r.status = ImportStatus::BadOption;
                r.message = "the rate must be from 4000 to 44100 Hz (got " +
                            std::to_string(options_.rate) + ")";
                return r;
            }
            plan.rate = options_.rate;
            plan.samples = ConvertedLength(sf_.frames, sf_.samplerate, plan.rate);
            plan.fits = plan.samples <= kMaxImportSamples;
        } else {
            plan = PlanImportRate(sf_.samplerate, sf_.frames);
        }
        if (!plan.fits) {
            r.status = ImportStatus::TooLong;
            r.message = options_.rate != 0 ? TooLongAtChosenRate(name_, r.info, plan)
                                           : TooLongForImport(name_, r.info);
            return r;
        }
        if (IsTooShortForLoader(plan.samples, plan.rate)) return Status(r, ImportStatus::TooShort);
        r.rate = plan.rate;

        if (!stream_.Start(sf_.samplerate, plan.rate, static_cast<std::size_t>(plan.samples),
                           r.info.finerThan16Bits)) {
            return Fail(r);
        }
        const std::size_t channels = static_cast<std::size_t>(sf_.channels);
        const sf_count_t blockFrames =
            static_cast<sf_count_t>(std::max<std::size_t>(1, kBlockFloats / channels));
        std::vector<float> block(static_cast<std::size_t>(blockFrames) * channels);
        std::vector<float> mono(static_cast<std::size_t>(blockFrames));

        sf_count_t done = 0;
        while (done < sf_.frames) {
            const sf_count_t want = std::min(blockFrames, sf_.frames - done);
            const sf_count_t got = sf_readf_float(file_, block.data(), want);
            if (got <= 0) break;  // a truncated file ends early; what was read is kept
            done += got;
            MixDown(block.data(), static_cast<std::size_t>(got), channels, options_.channel,
                    mono.data());
            if (!stream_.Push(mono.data(), static_cast<std::size_t>(got))) return Fail(r);
            if (options_.progress &&
                !options_.progress(static_cast<double>(done) / static_cast<double>(sf_.frames))) {
                return Status(r, ImportStatus::Cancelled);
            }
        }
        if (!stream_.Finish()) return Fail(r);

        const std::int64_t length = ConvertedLength(done, sf_.samplerate, plan.rate);
        if (length <= 0 || IsTooShortForLoader(length, plan.rate)) {
            return Status(r, ImportStatus::TooShort);
        }
        r.info.readableFrames = done;
        r.samples =
            stream_.Take(static_cast<std::size_t>(std::min<std::int64_t>(length, plan.samples)));
        r.status = ImportStatus::Ok;
        return r;
    }

private:
    static ImportResult Status(ImportResult& r, ImportStatus status) {
        r.status = status;
        r.samples.clear();
        return std::move(r);
    }

    ImportResult Fail(ImportResult& r) {
        r.status = ImportStatus::Failed;
        r.message = "Could not resample " + name_ + ".";
        return std::move(r);
    }

    static std::string Channels(int n) {
        return std::to_string(n) + (n == 1 ? " channel" : " channels");
    }

    SNDFILE* file_;
    SF_INFO sf_;
    const ImportOptions& options_;
    std::string name_;
    std::int64_t promisedFrames_;
    SampleStream stream_;
};

ImportResult Unreadable() {
    ImportResult r;
    r.status = ImportStatus::Unreadable;
    return r;
}

}  // namespace

ImportResult ImportSound(const std::string& path, const ImportOptions& options,
                         const std::string& name) {
    SF_INFO sf{};
    SndHandle file = OpenPath(path, sf);
    if (!file) return Unreadable();
    return Converter(file.get(), sf, options, name.empty() ? NameOf(path) : name,
                     PromisedWaveFrames(path))
        .Run();
}

ImportResult ImportSoundBytes(const void* data, std::size_t size, const ImportOptions& options,
                              const std::string& name) {
    MemoryFile memory{static_cast<const unsigned char*>(data), static_cast<sf_count_t>(size), 0};
    SF_INFO sf{};
    SndHandle file = OpenMemory(memory, sf);
    if (!file) return Unreadable();
    return Converter(file.get(), sf, options, name,
                     PromisedWaveFrames(static_cast<const unsigned char*>(data),
                                        std::min<std::size_t>(size, 4096)))
        .Run();
}

}  // namespace vokra
