// The fast loop over one block, written once for every kernel: each machine
// names the next byte it needs, and only those bytes reach it, in order,
// through the same step as the plain loop (HeaderScanner::feed_reference) or
// through a bulk step that leaves it exactly as those steps would. Every byte
// reached by a jump is a single byte or has its tracker state worked out
// from the bytes jumped over.
//
// A machine is stepped only with the bytes it needs: the bytes before its
// next one leave it as it is, or move it among states that this next byte
// overrides (a line end resets form A, an asterisk restarts form B's name),
// with nothing committed meanwhile. Leaving their steps out changes nothing.
//
// Every search stops at the end-of-text byte too, so a machine's next byte
// is never past one; the loop ends there, and the runs below never step it.
//
// Included inside a kernel's namespace (fast_loop_*.cpp) after its searches
// (byte_search_*.inl) and the headers they need; includes nothing itself.

constexpr std::uint8_t kWideLead = 0x81, kWideColon = 0x46;

// A run of name bytes stepped without asking is cut short, in case Japanese
// text follows the name; a value is taken 64 bytes at a time.
constexpr std::ptrdiff_t kNameRunBytes = 32;
constexpr std::ptrdiff_t kValueChunkBytes = 64;
constexpr std::ptrdiff_t kStarStretchBytes = 256;
// A colon found this far ahead spares the shared search its pairs; nearer,
// one search of both costs less than a short one for form B's bytes.
constexpr std::ptrdiff_t kColonKnownBytes = 64;

// What the loop has already looked up ahead in the block, so that no stretch
// is searched twice. Each search answers for any later starting point up to
// what it found.
struct Lookahead {
    // Form A: byte after byte before here (the label part of a line whose
    // colon lies ahead).
    const std::uint8_t* label_plain_until = nullptr;
    // The first colon candidate (0x81 0x46), or byte of the set that
    // event_bytes marks (SyntaxBits), at or after event_from, or end;
    // nullptr before the first search.
    const std::uint8_t* event_from = nullptr;
    const std::uint8_t* event = nullptr;
    unsigned event_bytes = 0;
    // Form A: the first colon candidate at or after colon_from, or end;
    // nullptr before the first search.
    const std::uint8_t* colon_from = nullptr;
    const std::uint8_t* colon = nullptr;
    // Form A: the last line end before line_end_event, looked for from
    // line_end_from on (nullptr if none).
    const std::uint8_t* line_end_event = nullptr;
    const std::uint8_t* line_end_from = nullptr;
    const std::uint8_t* line_end = nullptr;
    // Form B: the first asterisk or quote at or after syntax_from, or end
    // (nullptr before the first search).
    const std::uint8_t* syntax_from = nullptr;
    const std::uint8_t* syntax = nullptr;
    // Form B: the last asterisk before the first quote at or after
    // stars_from, an asterisk (or before where the search stopped); nullptr
    // before the first search.
    const std::uint8_t* stars_from = nullptr;
    const std::uint8_t* last_star = nullptr;
    std::ptrdiff_t star_stretch = kStarStretchBytes;
};

inline const std::uint8_t* NextSyntax(const std::uint8_t* p, const std::uint8_t* end, Lookahead& ahead) noexcept {
    if (ahead.syntax == nullptr || p < ahead.syntax_from || p > ahead.syntax) {
        ahead.syntax = FindAnyOf(p, end, '*', '"', '\'');
        ahead.syntax_from = p;
    }
    return ahead.syntax;
}

// Form B's syntax bytes as bits, for the event search's set.
inline unsigned SyntaxBit(std::uint8_t b) noexcept { return b == '*' ? 1U : b == '"' ? 2U : 4U; }
inline unsigned SyntaxBits(const std::uint8_t* bytes, int count) noexcept {
    switch (count) {
    case 0: return 0;
    case 1: return SyntaxBit(bytes[0]);
    case 2: return SyntaxBit(bytes[0]) | SyntaxBit(bytes[1]);
    default: return SyntaxBit(bytes[0]) | SyntaxBit(bytes[1]) | SyntaxBit(bytes[2]);
    }
}

// The event at or after p: the next colon candidate, or one of the bytes
// form B waits for, whichever comes first. While form B only waits for a
// few bytes in the combined reader, one search serves both machines: form
// A takes such a byte for a colon (it only steps the start of that line
// for nothing), form B takes a colon for one of its bytes (stepping 0x81
// leaves a machine that only waits as it is). An answer for a larger set
// serves a smaller one as well.
inline const std::uint8_t* NextEvent(const std::uint8_t* p, const std::uint8_t* end, Lookahead& ahead,
                                     const std::uint8_t* set, int count) noexcept {
    const unsigned bits = SyntaxBits(set, count);
    if (ahead.event == nullptr || p < ahead.event_from || p > ahead.event || (bits & ~ahead.event_bytes) != 0) {
        if (ahead.colon != nullptr && ahead.colon_from <= p && ahead.colon - p >= kColonKnownBytes) {
            // Form A's own search has found the next colon, far enough off:
            // before it only form B's bytes are left to look for, a lighter
            // search over bytes that would otherwise be searched twice.
            ahead.event = count == 1 ? FindByte(p, ahead.colon, set[0])
                                     : FindAnyOf(p, ahead.colon, set[0], set[1], set[count > 2 ? 2 : 1]);
        } else {
            ahead.event = FindColonPairOr(p, end, set, count);
        }
        ahead.event_from = p;
        ahead.event_bytes = bits;
    }
    return ahead.event;
}

// The first colon candidate at or after p; a shared search answers too: a
// colon it found, or the stretch before a byte of form B's it found, which
// holds no colon.
inline const std::uint8_t* NextColon(const std::uint8_t* p, const std::uint8_t* end, Lookahead& ahead) noexcept {
    if (ahead.colon != nullptr && ahead.colon_from <= p && p <= ahead.colon) return ahead.colon;
    const bool event_ahead = ahead.event != nullptr && ahead.event_from <= p && p <= ahead.event;
    if (event_ahead && (ahead.event == end || *ahead.event == 0x81 || *ahead.event == kEndOfText)) {
        ahead.colon = ahead.event;
    } else {
        ahead.colon = FindColonPairOr(event_ahead ? ahead.event : p, end, nullptr, 0);
    }
    ahead.colon_from = p;
    return ahead.colon;
}

// What form B only waits for, if that is all that can change what it
// commits: writes the bytes to `set` and returns how many (0 when other
// bytes matter too). Beyond its awaited bytes, a name that no keyword
// starts with waits for nothing but an asterisk or a quote, and a value
// after a name that is no keyword for nothing but its closing quote.
inline int KeywordWaitsFor(const KeywordMachine& keyword, std::uint8_t (&set)[3]) noexcept {
    if (const int count = keyword.awaited_bytes(set)) return count;
    if (keyword.state() == KeywordState::NAME && !keyword.name_may_match()) {
        set[0] = '*', set[1] = '"', set[2] = '\'';
        return 3;
    }
    if (keyword.state() == KeywordState::QUOTED && !keyword.name_known()) {
        set[0] = keyword.quote();
        return 1;
    }
    return 0;
}

// The same for the loop of form F: 0 when there is no form B machine.
template <HeaderForm F>
inline int KeywordAwaits(const ScanState& s, std::uint8_t (&set)[3]) noexcept {
    return F == HeaderForm::A ? 0 : KeywordWaitsFor(s.keyword, set);
}

// Whether a label part that starts at p, with nothing collected and after a
// byte the tracker did not read as a lead byte, is disqualified by its first
// character: a single byte other than a blank, or a double-byte character
// (other than the wide space and the colon) that starts no label.
inline bool FirstCharacterRulesOutLabel(const std::uint8_t* p, const std::uint8_t* end) noexcept {
    const std::uint8_t b = *p;
    if (!IsLeadByte(b)) {
        return b != byte_search::kCR && b != byte_search::kLF && b != '\t' && b != ' ' && b != '!' && b != ';';
    }
    if (end - p < 2 || !IsTrailByte(p[1]) || (b == kWideLead && (p[1] == 0x40 || p[1] == kWideColon))) return false;
    const char pair[2] = {static_cast<char>(b), static_cast<char>(p[1])};
    return !SomeLabelStartsWith(std::string_view(pair, 2));
}

// The first byte in [p, end) that can matter to the form A machine, or end.
// Stepping the machine over the bytes before it instead would commit
// nothing and leave it in the state it will be in at that byte anyway.
template <HeaderForm F>
const std::uint8_t* NextForLabel(const ScanState& s, const std::uint8_t* p, const std::uint8_t* end,
                                 const std::uint8_t* keyword_next, Lookahead& ahead) noexcept {
    const LabelLineMachine& label = s.label;
    const LineState state = label.state();
    if (state == LineState::VALUE) {
        // A full value, or one that can no longer reach the header, only
        // waits for the line end that commits it.
        if (!label.waits_for_line_end() && label.value_matters(s.header)) return p;
        return FindLineEnd(p, end);
    }
    // A line whose label is not in the table, or cannot become one, commits
    // nothing: it only waits for its end, like a disqualified line.
    bool dead = state == LineState::VALUE_START ? !label.label_known()
                      : state == LineState::LINE_START ? !label.label_may_match()
                                                       : true;
    if (!dead && (state == LineState::VALUE_START || p < ahead.label_plain_until ||
                  (label.previous() == kWideLead && *p == kWideColon)))
        return p;

    // In the label part or a line that commits nothing: only a full-width
    // colon leads to a commit, and every line end resets the machine, so all
    // the lines before the first one with a colon pass unseen.
    // While form B waits for a few bytes and looks for them from here on,
    // one search serves both; where its next byte lies further off (past
    // a run of asterisks), form A looks for colons alone.
    std::uint8_t awaited[3];
    const int count = KeywordAwaits<F>(s, awaited);
    const bool shared = count != 0 && ahead.event != nullptr && keyword_next == ahead.event;
    const std::uint8_t* event = shared ? NextEvent(p, end, ahead, awaited, count) : NextColon(p, end, ahead);
    // A first character that rules the line out does so only for the fast
    // loop: the machine has not seen it, so the line must end in this block.
    bool ruled_out = false;
    for (int further = 0;; ++further) {
        if (ahead.line_end_event != event || ahead.line_end_from > p) {
            ahead.line_end = FindLastLineEnd(p, event);
            ahead.line_end_from = p;
            ahead.line_end_event = event;
        }
        if (ahead.line_end != nullptr && ahead.line_end >= p) return ahead.line_end;
        // The event lies on the current line, or no line end follows in this
        // block: the label part so far decides, or its first character.
        if (!dead && state == LineState::LINE_START && label.label_length() == 0 &&
            s.tracker.state != DbcsState::DBCS_LEAD && p < event)
            dead = ruled_out = FirstCharacterRulesOutLabel(p, end);
        if (dead) {
            // A line that commits nothing holds the event: when it is a
            // colon, the lines up to the next event pass unseen too, unless
            // the events come thick.
            if (event != end && *event == kWideLead && further < 2) {
                event = shared ? NextEvent(event + 1, end, ahead, awaited, count) : NextColon(event + 1, end, ahead);
                continue;
            }
            const std::uint8_t* line_end =
                event == end ? end : FindLineEnd(p, end);
            if (line_end != end || !ruled_out) return line_end;
        }
        ahead.label_plain_until = end - event > 2 ? event + 2 : end;
        return p;
    }
}

// Given an asterisk at `star` after an asterisk: every later asterisk
// starts the name afresh, so up to the last asterisk before the next quote
// nothing that comes first can matter. Returns that last asterisk.
inline const std::uint8_t* LastStarAhead(const std::uint8_t* star, const std::uint8_t* end, Lookahead& ahead) noexcept {
    if (ahead.last_star == nullptr || star < ahead.stars_from || star > ahead.last_star) {
        // A stretch at a time, so that a lone run of asterisks does not send
        // the search far ahead; the stretch's end then stands for the quote.
        // Where asterisks run on to its end, the next stretch is twice as
        // long.
        const std::uint8_t* stretch_end = end - star > ahead.star_stretch ? star + ahead.star_stretch : end;
        const StarBeforeQuote found = FindLastStarBeforeQuote(star, stretch_end);
        const bool dense = found.quote == stretch_end && stretch_end - found.last_star < ahead.star_stretch / 4;
        ahead.star_stretch = dense ? ahead.star_stretch * 2 : kStarStretchBytes;
        ahead.stars_from = star;
        ahead.last_star = found.last_star;
    }
    return ahead.last_star;
}

// The first byte in [p, end) that can matter to the form B machine, or end;
// as NextForLabel.
template <HeaderForm F>
const std::uint8_t* NextForKeyword(const ScanState& s, const std::uint8_t* p, const std::uint8_t* end,
                                   Lookahead& ahead) noexcept {
    const KeywordMachine& keyword = s.keyword;
    // Idle, a full name, a full value, an entry that commits nothing: only a
    // few bytes matter.
    std::uint8_t awaited[3];
    if (const int count = KeywordWaitsFor(keyword, awaited)) {
        const std::uint8_t* next = F == HeaderForm::BOTH ? NextEvent(p, end, ahead, awaited, count)
                                   : count == 3          ? NextSyntax(p, end, ahead)
                                                         : FindByte(p, end, awaited[0]);
        // A name waiting for an asterisk or a quote: an asterisk starts a new one.
        if (count == 3 && next != end && *next == '*') return LastStarAhead(next, end, ahead);
        return next;
    }
    if (keyword.state() == KeywordState::QUOTED) return p;  // a value being collected

    // After an asterisk, with the name not yet full: only a single-byte name
    // character can change the machine, or an asterisk, which starts the
    // name afresh, or (once a name has begun) a quote. Letters may be trail
    // bytes, so the tracker state before each one is worked out from the
    // bytes in between.
    bool lead_before = s.tracker.state == DbcsState::DBCS_LEAD;  // the byte before p was stepped
    for (const std::uint8_t* from = p;;) {
        const std::uint8_t* c = FindNameCandidate(from, end, true);
        if (c != end && *c == '*') return LastStarAhead(c, end, ahead);
        if (c == end || *c < 0x40) return c;  // below 0x40: never a trail byte
        if (!byte_search::EndsOnLead(from, c, lead_before)) return c;
        lead_before = false;  // c is a trail byte
        from = c + 1;
    }
}

// Takes value bytes from p on, at most 64 and none at or past limit, into
// `machine` in one bulk step; stops before a byte below 0x20 or `stop`.
// Returns where it stopped.
template <typename Machine>
inline const std::uint8_t* TakeValueBytes(Machine& machine, DbcsTracker& tracker, const std::uint8_t* p,
                                          const std::uint8_t* limit, const std::uint8_t* end,
                                          std::uint8_t stop) noexcept {
    const ValueRun run = ScanValueRun(p, limit, end, stop, tracker.state == DbcsState::DBCS_LEAD);
    if (run.length == 0) return p;
    machine.take_value_bytes(p, run.length, run.leads);
    tracker.state = (run.leads >> (run.length - 1)) & 1U ? DbcsState::DBCS_LEAD : DbcsState::DBCS_SINGLE;
    return p + run.length;
}

// The form A machine alone takes bytes from p on while it needs each of
// them, before limit: a label with its colon ahead (a byte at a time, the
// first label character alone ruling out most lines), the blanks before a
// value, a value (in bulk).
inline const std::uint8_t* LabelRun(ScanState& s, const std::uint8_t* p, const std::uint8_t* limit,
                                    const std::uint8_t* end, const Lookahead& ahead) noexcept {
    LabelLineMachine& label = s.label;
    while (p < limit) {
        switch (label.state()) {
        case LineState::LINE_START:
            if (p >= ahead.label_plain_until || (label.label_length() == 2 && !label.label_may_match())) return p;
            break;
        case LineState::VALUE_START:
            if (!label.label_known()) return p;
            break;
        case LineState::VALUE: {
            if (label.waits_for_line_end() || !label.value_matters(s.header)) return p;
            const std::uint8_t* chunk_end = limit - p > kValueChunkBytes ? p + kValueChunkBytes : limit;
            // A byte below 0x20 cuts the run: a line end commits, anything else is dropped.
            p = TakeValueBytes(label, s.tracker, p, chunk_end, end, byte_search::kLF);
            if (p == chunk_end) continue;
            break;
        }
        case LineState::SKIP: return p;
        }
        if (*p == kEndOfText) return p;
        label.step(*p, s.tracker.step(*p), s.header);
        ++p;
    }
    return p;
}

// Commits the label line of table row `row` whose value starts at `value` and whose
// line end is at `line_end`, exactly as stepping it would from just after
// its colon: with a machine and a tracker of its own, the value in bulk.
// `machine` is at a line start, as a line end leaves it, and is left so: a
// sweep sets up one for all its lines, not one per line.
inline void CommitLabelLine(LabelLineMachine& machine, ZoleHeader& header, int row, const std::uint8_t* value,
                            const std::uint8_t* line_end, const std::uint8_t* end) noexcept {
    DbcsTracker tracker{DbcsState::DBCS_TRAIL};  // the colon's second byte
    machine.enter_value(row);
    for (const std::uint8_t* p = value; p < line_end;) {
        if (machine.state() == LineState::VALUE) {
            if (machine.waits_for_line_end() || !machine.value_matters(header)) break;
            const std::uint8_t* chunk_end = line_end - p > kValueChunkBytes ? p + kValueChunkBytes : line_end;
            p = TakeValueBytes(machine, tracker, p, chunk_end, end, byte_search::kLF);
            if (p == chunk_end) continue;
        }
        machine.step(*p, tracker.step(*p), header);
        ++p;
    }
    machine.step(*line_end, tracker.step(*line_end), header);
}

// What the first two bytes of a value say about whether its line commits:
// bit 0 for a printable ASCII byte, bit 1 for a lead byte, bit 2 for a
// trail byte.
constexpr std::array<std::uint8_t, 256> kValueByteClass = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        classes[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>((b > 0x20 && b < 0x7F ? 1 : 0) |
                                                                         (IsLeadByte(byte) ? 2 : 0) |
                                                                         (IsTrailByte(byte) ? 4 : 0));
    }
    return classes;
}();

// Whether a label line whose value starts at `value` commits for certain:
// its first value byte is a printable ASCII byte, or starts a double-byte
// character other than the full-width space. (Blanks alone commit nothing.)
// The line end is never a trail byte, so the second byte is read only
// where the first is no line end.
inline bool CommitsForCertain(const std::uint8_t* value, const std::uint8_t* line_end) noexcept {
    if (value == line_end) return false;
    const unsigned first = kValueByteClass[value[0]];
    if (first & 1U) return true;
    return (first & 2U) != 0 && (kValueByteClass[value[1]] & 4U) != 0 && !(value[0] == kWideLead && value[1] == 0x40);
}

// Form A alone: lines of one sweep that are committed at its end. Only the
// last line of a row that commits matters, rows do not touch each other,
// and nothing else commits during the sweep.
class PendingLines {
public:
    // Commits through `machine` (see CommitLabelLine).
    explicit PendingLines(LabelLineMachine& machine) noexcept : machine_(machine) {}

    void note(int row, const std::uint8_t* value, const std::uint8_t* line_end) noexcept {
        value_[row] = value;
        line_end_[row] = line_end;
        rows_ |= 1U << row;
    }
    void commit(int row, ZoleHeader& header, const std::uint8_t* end) noexcept {
        if (((rows_ >> row) & 1U) == 0) return;
        rows_ &= ~(1U << row);
        CommitLabelLine(machine_, header, row, value_[row], line_end_[row], end);
    }
    // Commits a line at once, after any noted for its row.
    void commit_now(int row, const std::uint8_t* value, const std::uint8_t* line_end, ZoleHeader& header,
                    const std::uint8_t* end) noexcept {
        commit(row, header, end);
        CommitLabelLine(machine_, header, row, value, line_end, end);
    }
    void commit_all(ZoleHeader& header, const std::uint8_t* end) noexcept {
        while (rows_ != 0) commit(std::countr_zero(rows_), header, end);
    }

private:
    LabelLineMachine& machine_;
    std::uint32_t rows_ = 0;
    // Set before use (rows_); cleared so no compiler takes them for unset.
    const std::uint8_t* value_[kFieldCount] = {};
    const std::uint8_t* line_end_[kFieldCount] = {};
};

// The stops of a sweep (line ends, end-of-text bytes and, with star,
// asterisks) taken in order from where it starts, marked 64 bytes at a time
// in consecutive windows, none reaching past the block's end. Each stop is
// handed out once, a bit cleared, so that finding where a line ends does not
// wait on the line before.
class LineStops {
public:
    LineStops(const std::uint8_t* from, const std::uint8_t* end, bool star) noexcept
        : end_(end), star_(star), base_(from) {
        if (end - from >= 64) bits_ = LineStopBits(from, star);
    }

    // The next stop not yet handed out, or nullptr where it lies past the
    // last whole window.
    const std::uint8_t* next() noexcept {
        while (bits_ == 0) {
            if (end_ - base_ < 128) return nullptr;
            base_ += 64;
            bits_ = LineStopBits(base_, star_);
        }
        const std::uint8_t* stop = base_ + std::countr_zero(bits_);
        bits_ &= bits_ - 1;
        return stop;
    }

private:
    const std::uint8_t* end_;
    bool star_;
    const std::uint8_t* base_;
    std::uint64_t bits_ = 0;
};

// The combined reader: the rows whose slot a label line can still change.
// A slot that form B filled, or that a repeated label emptied, stays as it is.
inline std::uint32_t OpenRows(const ZoleHeader& header) noexcept {
    std::uint32_t rows = 0;
    for (int row = 0; row < kFieldCount; ++row) {
        const HeaderSlot& slot = header.slots[static_cast<std::size_t>(row)];
        if (slot.status != STATUS_FORM_B && !(slot.status == STATUS_FORM_A && slot.value[0] == '\0')) rows |= 1U << row;
    }
    return rows;
}

// Whole label lines one after the other from p on, the first of row `row`:
// each a table label, its colon and a value that ends in this block (with no
// asterisk, in the combined reader, whose form B machine must be idle). Each
// is committed as stepping it would, without stepping the machine, which
// stays at a line start. Returns where the lines stop: p if none fits.
template <HeaderForm F>
const std::uint8_t* SweepLabelLines(ScanState& s, const std::uint8_t* p, const std::uint8_t* end, int row) noexcept {
    // One machine commits every line of the sweep, by the rule of the form.
    LabelLineMachine committing(F == HeaderForm::BOTH ? LabelCommit::DEFER_TO_FORM_B : LabelCommit::LAST_WINS);
    PendingLines pending(committing);
    LineStops stops(p, end, F == HeaderForm::BOTH);
    std::uint32_t open = F == HeaderForm::BOTH ? OpenRows(s.header) : 0;
    const std::uint8_t* line = p;
    for (;;) {
        // Label bytes and the colon are never stops, and the stops before
        // the line's start are handed out: the next one ends the line.
        const std::uint8_t* line_end = stops.next();
        if (line_end == nullptr || *line_end > byte_search::kCR) break;  // an asterisk or 0x1A
        const std::uint8_t* value = line + kLabelMatch.value_at[row];
        if constexpr (F == HeaderForm::BOTH) {
            if ((open >> row) & 1U) {
                CommitLabelLine(committing, s.header, row, value, line_end, end);
                open &= OpenRows(s.header);
            }
        } else if (CommitsForCertain(value, line_end)) {
            pending.note(row, value, line_end);
        } else {
            pending.commit_now(row, value, line_end, s.header, end);
        }
        line = line_end + 1;
        if (*line_end == byte_search::kCR && line != end && *line == byte_search::kLF) {
            ++line;
            stops.next();  // that line feed
        }
        row = end - line >= kLabelMatchReach ? MatchLabelRowAt(line) : FindLabelRowBeforeColon(line, end);
        if (row < 0) break;
    }
    pending.commit_all(s.header, end);
    // The last line end, stepped: the machine and tracker as the plain loop leaves them.
    if (line != p) s.label.step(line[-1], s.tracker.step(line[-1]), s.header);
    return line;
}

// The form A machine alone takes the byte at p (it needs it), then what
// LabelRun takes. At the start of a label part, label lines are swept whole
// (form B idle, so only an asterisk would matter to it) or, failing that, a
// table label followed by its colon is taken at once; while form B only
// waits for a few bytes that may run past `limit` (its next byte), as label
// bytes and the colon are never among them: the caller then asks form B
// again.
template <HeaderForm F>
const std::uint8_t* LabelTake(ScanState& s, const std::uint8_t* p, const std::uint8_t* limit,
                              const std::uint8_t* end, const Lookahead& ahead) noexcept {
    LabelLineMachine& label = s.label;
    if (label.state() == LineState::LINE_START && label.label_length() == 0 &&
        s.tracker.state != DbcsState::DBCS_LEAD) {
        const int row = FindLabelRowBeforeColon(p, end);
        if (row >= 0) {
            if (F == HeaderForm::A || s.keyword.state() == KeywordState::IDLE) {
                const std::uint8_t* swept = SweepLabelLines<F>(s, p, end, row);
                if (swept != p) return swept;
            }
            // Label bytes and the colon are never bytes form B waits for.
            std::uint8_t awaited[3];
            const std::uint8_t* value = p + kLabelMatch.value_at[row];
            if (KeywordAwaits<F>(s, awaited) != 0 || F == HeaderForm::A || value <= limit) {
                label.enter_value(row);
                s.tracker.state = DbcsState::DBCS_TRAIL;
                p = value;
                return p > limit ? p : LabelRun(s, p, limit, end, ahead);
            }
        }
    }
    label.step(*p, s.tracker.step(*p), s.header);
    return LabelRun(s, p + 1, limit, end, ahead);
}

// The form B machine alone takes the byte at p (it needs it), then, before
// limit, the bytes it needs one after the other: a value (in bulk), a name
// being spelled in ASCII up to an asterisk or a quote (a short run, as
// stepping Japanese text would cost more than the search for name
// characters).
inline const std::uint8_t* KeywordTake(ScanState& s, const std::uint8_t* p, const std::uint8_t* limit,
                                       const std::uint8_t* end) noexcept {
    KeywordMachine& keyword = s.keyword;
    keyword.step(*p, s.tracker.step(*p), s.header);
    ++p;
    while (p < limit) {
        std::uint8_t awaited[3];
        if (KeywordWaitsFor(keyword, awaited) != 0) return p;
        switch (keyword.state()) {
        case KeywordState::QUOTED: {
            const std::uint8_t* chunk_end = limit - p > kValueChunkBytes ? p + kValueChunkBytes : limit;
            // A byte below 0x20 is dropped; the quote commits.
            p = TakeValueBytes(keyword, s.tracker, p, chunk_end, end, keyword.quote());
            if (p == chunk_end) continue;
            break;
        }
        case KeywordState::NAME: {
            if (*p >= 0x80) return p;
            const std::uint8_t* run = FindAnyOf(p, limit - p > kNameRunBytes ? p + kNameRunBytes : limit, '*', '"', '\'');
            if (run == p) return p;
            while (p != run) {
                const std::uint8_t b = *p++;
                keyword.step(b, s.tracker.step(b), s.header);
                // A name no keyword starts with only waits for its syntax.
                if (IsNameChar(b) && !keyword.name_may_match()) break;
            }
            continue;
        }
        case KeywordState::IDLE:
        case KeywordState::AFTER_STAR: return p;
        }
        if (*p == kEndOfText) return p;
        keyword.step(*p, s.tracker.step(*p), s.header);
        ++p;
    }
    return p;
}

// The loop: the machine whose next byte comes first takes it and what
// follows that only it needs; a byte both need is stepped through both, in
// the plain loop's order. Returns end, or where an end-of-text byte ended
// the input.
template <HeaderForm F>
const std::uint8_t* ScanFast(ScanState& s, const std::uint8_t* p, const std::uint8_t* const end) noexcept {
    if (p == end) return end;
    Lookahead ahead;
    ahead.label_plain_until = p;
    // Form B's next byte first: form A may share its search.
    const std::uint8_t* keyword_next = end;
    const std::uint8_t* label_next = end;
    if constexpr (F != HeaderForm::A) keyword_next = NextForKeyword<F>(s, p, end, ahead);
    if constexpr (F != HeaderForm::B) label_next = NextForLabel<F>(s, p, end, keyword_next, ahead);
    for (;;) {
        const std::uint8_t* const next = label_next < keyword_next ? label_next : keyword_next;
        const bool stops = next == end || *next == kEndOfText;
        if (stops || (next != p && *next >= 0x40)) {
            // Jumped over bytes: set the tracker as they would have left it,
            // also for the next block when the jump reaches the end.
            const bool lead = byte_search::EndsOnLead(p, next, s.tracker.state == DbcsState::DBCS_LEAD);
            s.tracker.state = lead ? DbcsState::DBCS_LEAD : DbcsState::DBCS_SINGLE;
            if (stops) return next;
        }
        p = next;
        if (F != HeaderForm::B && label_next == p && (F == HeaderForm::A || keyword_next != p)) {
            p = LabelTake<F>(s, p, keyword_next, end, ahead);
            if (F == HeaderForm::BOTH && keyword_next < p) keyword_next = p == end ? end : NextForKeyword<F>(s, p, end, ahead);
            label_next = p == end ? end : NextForLabel<F>(s, p, end, keyword_next, ahead);
            continue;
        }
        if (F != HeaderForm::A && keyword_next == p && (F == HeaderForm::B || label_next != p)) {
            p = KeywordTake(s, p, label_next, end);
            keyword_next = p == end ? end : NextForKeyword<F>(s, p, end, ahead);
            continue;
        }
        // Both machines need the byte at p.
        const std::uint8_t b = *p;
        const DbcsState dbcs = s.tracker.step(b);
        s.label.step(b, dbcs, s.header);
        s.keyword.step(b, dbcs, s.header);
        if (++p == end) return end;
        keyword_next = NextForKeyword<F>(s, p, end, ahead);
        label_next = NextForLabel<F>(s, p, end, keyword_next, ahead);
    }
}

// The three forms' loops and the searches, for this kernel.
constexpr ScanLoops kScanLoops = {
    ScanFast<HeaderForm::A>,
    ScanFast<HeaderForm::B>,
    ScanFast<HeaderForm::BOTH>,
    {FindByte, FindAnyOf, FindLineEnd, FindColonPairOr, FindLastLineEnd, FindLastStarBeforeQuote, FindNameCandidate,
     LineStopBits, ScanValueRun},
};
