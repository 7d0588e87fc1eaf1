// Duplex bands: the front page of a sheet is delivered first, then its back
// page, while the scanner may hold data of both sides at once. A band runs
// through phases, each a read or a hand-over that ends the band or names the
// phase that goes on with it:
//
//   Front           a front band into the caller's buffer;
//   BackWhileFront  back data into the page buffer while a front band that
//                   ended short waits in the caller's buffer;
//   BackOfLastSide  the job's last side was a front page: its back is read
//                   to its end and dropped;
//   Back            the front page is out: a back band straight into the
//                   caller's buffer, unless back data is held;
//   DeliverHeld     a band of the held back data.
#include "halservice/scanner/ScannerWrap.h"

#include "halservice/scanner/PayloadLevel.h"

#include <algorithm>
#include <cstring>

BOOL CScannerWrap::ReadDuplexSides(bool compressed)
{
    const ProduceArgs& args = m_funcArgs.Produce;
    const DuplexBand band{compressed, compressed ? args.BufferSize
                                                 : args.BufferSize / m_scanJob.bytesPerLine * m_scanJob.bytesPerLine};
    if (band.request == 0)
        return FailBand();
    DuplexPhase phase = m_scanJob.frontEndOfPage ? DuplexPhase::Back : DuplexPhase::Front;
    for (;;) {
        const DuplexStep step = RunDuplexPhase(phase, band);
        if (step.next == DuplexPhase::Done)
            return step.result;
        phase = step.next;
    }
}

CScannerWrap::DuplexStep CScannerWrap::RunDuplexPhase(DuplexPhase phase, const DuplexBand& band)
{
    switch (phase) {
    case DuplexPhase::Front:
        return ReadFrontPhase(band);
    case DuplexPhase::BackWhileFront:
        return ReadBackWhileFrontPhase(band);
    case DuplexPhase::BackOfLastSide:
        return ReadBackOfLastSidePhase(band);
    case DuplexPhase::Back:
        return ReadBackPhase(band);
    case DuplexPhase::DeliverHeld:
        return Done(DeliverHeldBack(band.compressed));
    case DuplexPhase::Done:
        break;
    }
    return Done(FailBand());
}

CScannerWrap::DuplexStep CScannerWrap::ReadFrontPhase(const DuplexBand& band)
{
    const ProduceArgs& args = m_funcArgs.Produce;
    ScanJobState& job = m_scanJob;
    SideRead read;
    if (!ReadBandAfterWait(false, !band.compressed && job.shortRead, band, &read))
        return Done(FailBand());
    *args.BytesWritten = read.got;
    job.frontCount += read.got;
    if (!read.endOfPage) {
        *args.PayloadLevel = kLevelInPage;
        if (!read.shortRead)
            return Done(TRUE);
        // The scanner ran out of front data: take what it holds of the back
        // meanwhile, then return the front band.
        job.shortRead = false;
        return Then(DuplexPhase::BackWhileFront);
    }
    job.frontEndOfPage = true;
    *args.PayloadLevel = kLevelEndOfPage;
    ++job.sidesDone;
    job.shortRead = false;
    const bool lastSide = job.sidesRequested != 0 && job.sidesDone >= job.sidesRequested;
    if (!lastSide)
        return Done(TRUE);
    if (!job.backEndOfPage)
        return Then(DuplexPhase::BackOfLastSide);
    EndJobDroppingTheBack();
    return Done(TRUE);
}

CScannerWrap::DuplexStep CScannerWrap::ReadBackWhileFrontPhase(const DuplexBand& band)
{
    ScanJobState& job = m_scanJob;
    // The whole back page is held already; nothing more of it comes before
    // the front page ends.
    if (job.backEndOfPage)
        return FrontBandOrWaitForFront(band);
    if (job.shortRead && !WaitForBufferedData())
        return Done(FailBand());
    const size_t at = job.backReadOffset + job.backHeld;
    const DWORD count = PageBufferRoom(band, at);
    if (count == 0) {
        // The page buffer is full (a back page longer than the window, with
        // length control): the rest stays in the scanner until the front
        // page is out, and the front band goes as it is, even empty.
        return Done(TRUE);
    }
    SideRead read;
    if (!ReadSide(true, count, job.pageBuffer.get() + at, &read.got, &read.endOfPage, &read.shortRead))
        return Done(FailBand());
    job.backCount += read.got;
    job.backHeld += read.got;
    if (!read.shortRead)
        return Then(DuplexPhase::BackWhileFront);
    job.shortRead = false;
    return FrontBandOrWaitForFront(band);
}

// The front band goes once it has something (compressed bands always go);
// with nothing of either side yet, the front is read again after a wait.
CScannerWrap::DuplexStep CScannerWrap::FrontBandOrWaitForFront(const DuplexBand& band)
{
    if (band.compressed || *m_funcArgs.Produce.BytesWritten > 0)
        return Done(TRUE);
    m_scanJob.shortRead = true;
    return Then(DuplexPhase::Front);
}

CScannerWrap::DuplexStep CScannerWrap::ReadBackOfLastSidePhase(const DuplexBand& band)
{
    ScanJobState& job = m_scanJob;
    if (job.shortRead && !WaitForBufferedData())
        return Done(FailBand());
    // What the last side brings is dropped, so it need not pile up.
    const DWORD count = PageBufferRoom(band, 0);
    if (count == 0)
        return Done(FailBand());
    SideRead read;
    if (!ReadSide(true, count, job.pageBuffer.get(), &read.got, &read.endOfPage, &read.shortRead))
        return Done(FailBand());
    job.backCount += read.got;
    if (read.endOfPage) {
        EndJobDroppingTheBack();
        return Done(TRUE);
    }
    // Wait before reading again when nothing came.
    job.shortRead = read.shortRead && read.got == 0;
    return Then(DuplexPhase::BackOfLastSide);
}

CScannerWrap::DuplexStep CScannerWrap::ReadBackPhase(const DuplexBand& band)
{
    const ProduceArgs& args = m_funcArgs.Produce;
    ScanJobState& job = m_scanJob;
    if (!band.compressed && !job.backEndOfPage && job.backHeld > 0 && job.backHeld < job.bytesPerLine) {
        // All that is held is the start of a line: it goes in front of the
        // next read. (Reads straight into the caller's buffer come only once
        // nothing is held, so no other part line waits.)
        if (!KeepPartLine(true, job.pageBuffer.get() + job.backReadOffset, job.backHeld))
            return Done(FailBand());
        job.backHeld = 0;
        job.backReadOffset = 0;
    }
    if (job.backHeld > 0 || job.backEndOfPage)
        return Then(DuplexPhase::DeliverHeld);
    SideRead read;
    if (!ReadBandAfterWait(true, job.shortRead, band, &read))
        return Done(FailBand());
    job.backCount += read.got;
    *args.BytesWritten = read.got;
    *args.PayloadLevel = kLevelInPage;
    if (read.endOfPage) {
        const BOOL result = EndPage();
        FinishSheet();
        return Done(result);
    }
    if (!read.shortRead)
        return Done(TRUE);
    job.shortRead = false;
    if (band.compressed || read.got > 0)
        return Done(TRUE);
    // Nothing came: wait for data before reading again.
    job.shortRead = true;
    return Then(DuplexPhase::Back);
}

// A band of a side into the caller's buffer, after a wait for buffered data
// when `wait`.
bool CScannerWrap::ReadBandAfterWait(bool backSide, bool wait, const DuplexBand& band, SideRead* read)
{
    if (wait && !WaitForBufferedData())
        return false;
    return ReadBandOfSide(backSide, band.request, m_funcArgs.Produce.Buffer, &read->got, &read->endOfPage,
                          &read->shortRead) != FALSE;
}

// How much of the band's request fits the page buffer from `at` on; whole
// lines when uncompressed.
DWORD CScannerWrap::PageBufferRoom(const DuplexBand& band, size_t at) const
{
    const ScanJobState& job = m_scanJob;
    const size_t room = job.pageBufferSize - std::min(at, job.pageBufferSize);
    if (room >= band.request)
        return band.request;
    return band.compressed ? static_cast<DWORD>(room) : static_cast<DWORD>(room / job.bytesPerLine * job.bytesPerLine);
}

// The job's last side is out: the rest of its sheet is dropped.
void CScannerWrap::EndJobDroppingTheBack()
{
    EndJob();
    m_scanJob.backHeld = 0;
    FinishSheet();
}

BOOL CScannerWrap::DeliverHeldBack(bool compressed)
{
    const ProduceArgs& args = m_funcArgs.Produce;
    ScanJobState& job = m_scanJob;
    size_t count = std::min<size_t>(job.backHeld, args.BufferSize);
    // Uncompressed bands are whole lines.
    if (!compressed)
        count -= count % job.bytesPerLine;
    if (count > 0)
        std::memcpy(args.Buffer, job.pageBuffer.get() + job.backReadOffset, count);
    job.backHeld -= count;
    job.backReadOffset += count;
    if (!compressed && job.backEndOfPage && job.backHeld < job.bytesPerLine) {
        LeaveOutCutLine(job.backHeld);
        job.backHeld = 0;
    }
    *args.BytesWritten = static_cast<DWORD>(count);
    *args.PayloadLevel = kLevelInPage;
    if (!job.backEndOfPage || job.backHeld > 0) {
        // Room for more of the back page once the held bytes are out.
        if (job.backHeld == 0)
            job.backReadOffset = 0;
        return TRUE;
    }
    const BOOL result = EndPage();
    // Both pages of the sheet are out: the next call starts the next sheet.
    FinishSheet();
    return result;
}
