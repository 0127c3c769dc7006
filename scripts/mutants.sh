#!/usr/bin/env bash
# Mutation check of the unit tests: each mutant below plants one known fault
# (an exact snippet of a source file replaced by a faulty one) in a copy of
# the working tree (build/mutants/tree, kept in step with the tree: only
# changed files are copied), rebuilds the GoogleTest programs, the fuzz
# targets' corpus replays, the scenario tool and its JSON checker in a build
# tree of their own (build/mutants/out: g++, Release, no benchmarks), runs the programs with
# their default step counts, replays every corpus, runs the scenario tool's
# CTest tests (every example scenario with its expectations) and says whether
# some test failed (CAUGHT) or all passed (MISSED). The working tree itself is
# never changed.
#
#   scripts/mutants.sh             every mutant
#   scripts/mutants.sh ID...       the named ones
#   scripts/mutants.sh --list      the table, nothing built
#
# Exit 1 when a mutant expected to be caught is missed, or when a mutant no
# longer applies (its snippet is not found exactly once) or does not build:
# the table has gone stale. The mutated copy is restored on every exit path.
set -uo pipefail

SOURCE=$(cd "$(dirname "$0")/.." && pwd)
ROOT=${MUTANTS_DIR:-$SOURCE/build/mutants}/tree
BUILD=${MUTANTS_DIR:-$SOURCE/build/mutants}/out
PROGRAMS=(platform_tests alloc_tests pathkit_tests srmap_tests)
FUZZ_TARGETS=(text_forms generic_if node_events adjacency_events scenario)
TIMEOUT=${MUTANTS_TIMEOUT:-900}

IDS=() FILES=() EXPECTS=() DESCS=() ORIGS=() REPLS=()
# mutant ID FILE caught|missed DESCRIPTION ORIGINAL REPLACEMENT
mutant() {
  IDS+=("$1") FILES+=("$2") EXPECTS+=("$3") DESCS+=("$4") ORIGS+=("$5") REPLS+=("$6")
}

# --- collections, counted nodes, notification --------------------------------
mutant hash-iter-dies-with-member platform/Vek/HashMap2018.h caught \
  "a hash iterator whose member was deleted ends instead of going on" \
  'link->linked_ ? nextOf(link) : bound(link->hash_, member.key(), false)' \
  'link->linked_ ? nextOf(link) : nullptr'
mutant hash-grow-split platform/Vek/HashMap2018.cpp caught \
  "growing splits a chain at the wrong bucket" \
  '((*cut)->hash_ >> newShift) == 2 * b' '((*cut)->hash_ >> newShift) == 2 * b + 1'
mutant hash-deleteall-leaks platform/Vek/HashMap2018.h caught \
  "deleteAll drops its members without releasing them (leak)" \
  'nodeOf(link)->decUseImpl();' '(void)nodeOf(link);'
mutant rbtree-next-order platform/Vek/RbTreeAlgo.cpp caught \
  "the in-order successor climbs past left children: wrong walk order" \
  'while (p && n == p->right_.get()) {' 'while (p && n == p->left_.get()) {'
mutant attr-map-same-value-publishes platform/Vek/AttrHashCollections.h caught \
  "setting a map attribute to the value it has publishes a change" \
  $'      if (m->value() == value)\n        return;\n      Value const prior = m->valueExchange(Value(value));' \
  $'      Value const prior = m->valueExchange(Value(value));'
mutant publisher-duplicate-subscriber platform/Pavo/Publisher.cpp caught \
  "a subscriber added twice is notified twice" \
  'if (subscriber == nullptr || subscriberHas(subscriber))' 'if (subscriber == nullptr)'
mutant publisher-remove-skips-next platform/Pavo/Publisher.cpp caught \
  "removing a subscriber during a publication makes the next one miss it" \
  $'  if (frame_ != nullptr) {\n    *it = nullptr;' $'  if (false) {\n    *it = nullptr;'
mutant publisher-no-gone platform/Pavo/Publisher.cpp caught \
  "a dying publisher does not tell its watchers" \
  's->gone(this, s);' '(void)s;'
mutant generic-value-leak platform/VekPavo/GenericValue.cpp caught \
  "a generic value holding an entity never releases it (leak)" \
  $'    if (node_)\n      node_->decUseImpl();' $'    (void)node_;'
mutant subscription-any-field Pathkit/Subscription.cpp caught \
  "a subscription delivers changes of other fields too" \
  'if (fieldId == self.fieldId_)' 'if (fieldId != 0)'
mutant subscription-ptr-check Pathkit/SubscribedField.cpp caught \
  "a subscription's counted-pointer prior is not checked against the registration" \
  '|| wantPrior != prior || wantPtr != priorIsPtr)' '|| wantPrior != prior)'

# --- the status table ---------------------------------------------------------
mutant kroma-bound-off-by-one platform/Kroma/KromaMap.h caught \
  "an entry one record over its bound is accepted" \
  '    if (count > kBound)
      Vek::PodArrayImpl::throwRangeException(kBound, count);' \
  '    if (count > kBound + 1)
      Vek::PodArrayImpl::throwRangeException(kBound, count);'
mutant kroma-walk-no-generation platform/Kroma/KromaMap.h caught \
  "a walk step trusts its stored position after nodes were let go (reads a freed node)" \
  'if (hint.owner_ == this && hint.generation_ == generation_) {' 'if (hint.owner_ == this) {'
mutant kroma-letgo-keeps-generation platform/Kroma/KromaMap.h caught \
  "letting absent nodes go leaves the walks' stored positions trusted" \
  $'    absent_ = 0;\n    ++generation_;' $'    absent_ = 0;'
mutant kroma-fault-countdown platform/Kroma/KromaMap.cpp caught \
  "an injected fault fires one call late" \
  'if (faultCountdown_ > 0) {' 'if (faultCountdown_ > 1) {'
mutant kroma-fault-text platform/Kroma/KromaMap.cpp caught \
  "wrong corruption text" \
  '": corruption detected in "' '": corruption in "'
mutant reading-walk-no-report platform/Kroma/Reading.h caught \
  "a corrupt entry met in a walk is not reported" \
  $'      read = &collection.read(*at);\n    } catch (Pavo::CorruptionDetectedException const& e) {\n      collection.doCorruptionDetected(e.msg());' \
  $'      read = &collection.read(*at);\n    } catch (Pavo::CorruptionDetectedException const&) {'
mutant prefix-length-bound platform/Vantre/IpGenPrefix.cpp caught \
  "a host prefix (/32, /128) is refused" \
  'if (length > af.addressBits()) {' 'if (length >= af.addressBits()) {'
mutant prefix-v6-mask platform/Vantre/IpGenPrefix.cpp caught \
  "an IPv6 prefix keeps one host bit past its length" \
  'static_cast<std::uint8_t>(0xFF00u >> bitsHere)' 'static_cast<std::uint8_t>(0xFF80u >> bitsHere)'
mutant routerid-label-space platform/Mpls/RouterId.cpp caught \
  "an IS-IS router id shows a zero label space" \
  '(lblSpace_ != 0 ? ":" + lblSpace : std::string())' '(":" + lblSpace)'
mutant systemid-short-group platform/Routing/Isis/SystemId.cpp caught \
  "a system-id group of fewer than four hex digits is read" \
  'if (range.pos() - start != 4)' 'if (range.pos() - start > 4)'
mutant vertex-unpadded-hex platform/Cspf/VertexIdentifier.cpp caught \
  "a vertex text shows a byte below 0x10 with one digit" \
  $'    put(kHex[b >> 4]);\n    put(kHex[b & 0xF]);' $'    if (b >> 4)\n      put(kHex[b >> 4]);\n    put(kHex[b & 0xF]);'
mutant charrange-hex-digits platform/Vek/CharRange.cpp caught \
  "one hex digit more than allowed is read" \
  'if (pos_ - start == maxDigits)' 'if (pos_ - start == maxDigits + 1)'
mutant charrange-overflow-text platform/Vek/CharRange.cpp caught \
  "wrong text for a number over its maximum" \
  '" exceeds " + std::to_string(max));' '" too big " + std::to_string(max));'
mutant strep-separator platform/VekPavo/Strep.cpp caught \
  "the standard text form separates attributes without the blank" \
  $'    if (i > 0)\n      out += ", ";' $'    if (i > 0)\n      out += ",";'
mutant podarray-index-text platform/Vek/PodArray.cpp caught \
  "wrong text for an array index out of range" \
  '" is not below the count of "' '" is not below the count "'
mutant generic-invoke-arity platform/VekPavo/GenericIf.cpp caught \
  "an operation invoked with the wrong number of arguments is not refused" \
  'a.kind() == Pavo::Inspect::AttrKind::operation && args.size() != a.args().size()' \
  'a.kind() == Pavo::Inspect::AttrKind::operation && args.size() > a.args().size() + 1'
mutant assert-text platform/Vek/Assert.cpp caught \
  "an assertion's report leaves out its source" \
  '"assertion failed: %s [source %s] in %s\n", text, source, function' \
  '"assertion failed: %s in %s\n", text, function'
mutant quoted-high-bytes platform/Vek/QuotedText.cpp caught \
  "bytes past 0x7E are shown as they are" \
  'return b >= 0x20 && b < 0x7F;' 'return b >= 0x20;'
mutant scenario-word-unquoted tools/srmap/ScenarioParser.cpp caught \
  "a scenario message shows a word of the input as it stands" \
  'return Vek::quotedText(word);' 'return "\x27" + std::string(word) + "\x27";'
mutant membly-min-alignment platform/Membly/Membly.cpp caught \
  "the smallest alignment allowed is refused" \
  '*v >= kMinAlignment' '*v > kMinAlignment'

mutant inspector-hash-unsorted platform/VekPavo/Inspector.cpp caught \
  "the inspector lists hash-collection members in storage order" \
  'if (a.kind() == AttrKind::hashCollection) {' 'if (false) {'
mutant inspector-plural platform/VekPavo/Inspector.cpp caught \
  "the inspector counts one member as \"members\"" \
  '(members.size() == 1 ? " member\n" : " members\n")' '" members\n"'
mutant inspect-index-taken platform/VekPavo/InspectModule.cpp caught \
  "a type registered at an index already taken replaces it" \
  'if (index < types_.size() && types_[index]) {' 'if (false) {'
mutant inspect-type-twice platform/VekPavo/InspectModule.cpp caught \
  "a type name registered by two modules is accepted" \
  'if (!inserted && it->second != &type) {' 'if (false) {'
mutant generic-fit-bound platform/VekPavo/GenericValue.cpp caught \
  "a builtin at the maximum of the wanted type does not fit" \
  ': mag <= max;' ': mag < max;'

# --- trace --------------------------------------------------------------------
mutant trace-level-range platform/Vek/Trace.cpp caught \
  "a level range leaves out its upper end" \
  'for (std::uint64_t l = *low; l <= *high; ++l)' 'for (std::uint64_t l = *low; l < *high; ++l)'
mutant trace-other-facilities platform/Vek/Trace.cpp caught \
  "switching one facility's levels switches every facility's" \
  $'      if (h->facility_ != facility)\n        continue;\n      std::uint32_t const old' \
  $'      std::uint32_t const old'
mutant trace-level-max platform/Vek/Trace.cpp caught \
  "the highest trace level is refused" \
  'if (level > traceLevelMax) {' 'if (level >= traceLevelMax) {'
# Missed: the dump is checked on live clock readings, whose nanoseconds
# mostly have nine digits anyway.
mutant nimblog-unpadded-nanos platform/Nimblog/Nimblog.cpp missed \
  "a ring dump's nanoseconds are not zero-padded" \
  $'    line.append(9 - nanos.size(), \'0\');\n' ''
mutant nimblog-hex-decimal platform/Nimblog/Nimblog.cpp caught \
  "%x is formatted in decimal" \
  'appendUnsigned(out, a.u, 16);' 'appendUnsigned(out, a.u, 10);'

# --- the node-segment reverse mapper ------------------------------------------
mutant nodeseg-forgets-cache Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.cpp caught \
  "an unmapped prefix stays in the cache" \
  $'      prefixToOriginatorCache_.memberDel(prefixAlgoKey, hash);\n      return;' $'      return;'
mutant nodeseg-move-keeps-old-router Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.cpp caught \
  "a prefix that moves keeps its old router in the cache" \
  'cached->valueIs(newOriginator);' 'cached->valueIs(oldOriginator);'
mutant nodeseg-ignores-do-not-map Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.cpp caught \
  "the do-not-map flag is ignored" \
  '(info.flags() & PrefixSegmentInfo::kFlagDoNotMap) == 0 &&' ''
mutant nodeseg-empty-router Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.cpp caught \
  "a router entry that lost its last prefix stays" \
  $'        if (entry->prefixCount() == 0)\n          algoMap->prefixMapDel(oldOriginator);' ''
mutant nodeseg-empty-algo Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.cpp caught \
  "an algorithm map that lost its last router stays" \
  'if (algoMap->prefixMapCount() == 0) {' 'if (algoMap->prefixMapCount() == 0 && algo == 0) {'
mutant nodeseg-other-family Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.cpp caught \
  "prefixes of the other address family are mapped" \
  'if (prefix.af() != af_) {' 'if (false) {'
mutant nodeseg-startup-skips-algo Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.cpp caught \
  "the start-up build skips the per-algorithm collection" \
  '        prefixSegmentWithAlgoRead(k, stored);' '        (void)k, (void)stored;'
mutant nodeseg-prior-lost Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMaps.cpp caught \
  "a prefix flag change publishes no prior value" \
  $'  m->valueIs(value);\n  publisher_.publishChangeRecursive(kPrefixField, &m->key(), &prior,' \
  $'  m->valueIs(value);\n  (void)prior;\n  publisher_.publishChangeRecursive(kPrefixField, &m->key(), nullptr,'
mutant nodeseg-cleanup-drops-cache Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.cpp caught \
  "a clean-up on a running mapper drops its cache too" \
  $'  output_->routerToNodeSegmentMapDelAll();\n}' \
  $'  output_->routerToNodeSegmentMapDelAll();\n  prefixToOriginatorCacheDelAll();\n}'
mutant nodeseg-cleanup-gone-map Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.cpp caught \
  "a removal after a clean-up reads the algorithm map that is gone" \
  $'    if (algoMap) {\n      if (auto const* r' $'    {\n      if (auto const* r'
mutant nodeseg-trace-skip-text Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.cpp caught \
  "wrong trace text for a prefix of the other family" \
  '": address family mismatch"' '": family mismatch"'
mutant reactor-zombie-dispatch Pathkit/StatusReactor.h caught \
  "a retired mapper still reacts to the status table" \
  $'    if (reactor.nodeFlag(kZombie))\n      return;\n' ''

# --- the adjacency segment mapper ---------------------------------------------
mutant adj-any-instance Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "records of another protocol instance are filed under this one" \
  $'      if (record.protoInstance != protoId)\n        continue;' ''
mutant adj-local-flag Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "the entry's local flag is inverted" \
  'AdjSegmentEntry const entry(key.sidFlag() != 0,' 'AdjSegmentEntry const entry(key.sidFlag() == 0,'
mutant adj-second-instance Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "a two-instance key files only the first instance" \
  $'    manageAdjSegment(key, segment, 1, hashes);\n    manageAdjSegment(key, segment, 2, hashes);' \
  $'    manageAdjSegment(key, segment, 1, hashes);'
mutant adj-empty-table Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "a per-protoId link table left empty stays in the connector map" \
  $'      if (lists->adjSegmentListCount() == 0)\n        c.mapDel(protoId);\n    }\n  }\n}' \
  $'    }\n  }\n}'
mutant adj-neighbor-bound Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "two records naming different neighbours are filed" \
  'if (count <= 1)' 'if (count <= 2)'
mutant adj-cleanup-silent Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "the clean-up drops the link lists without telling their subscribers" \
  $'    for (auto l = lists->adjSegmentListCollection().begin(); !l.atEnd(); ++l)\n      lists->adjSegmentListDel(l->key());\n' ''
mutant adj-shared-uncounted Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "a key filing a member its link already lists is not counted: its partner's removal drops it" \
  $'        sharedEntryAdd(protoId, link, hash, entry);\n      if (!lists) {' $'        (void)0;\n      if (!lists) {'
mutant adj-shared-removed Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "a key's removal takes a member out although another key still files it" \
  $'        if (!sharedEntryRelease(protoId, link, hash, entry))\n          gone.push_back(&entry);' \
  $'        sharedEntryRelease(protoId, link, hash, entry);\n        gone.push_back(&entry);'
mutant adj-pairs-crossed Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "a key of several links and metrics lets go of every link-entry combination, filed or not" \
  $'        if (filed && !filed->value().has(pair))\n          continue;' $'        (void)pair;'
mutant adj-repeat-counted Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "a record repeating an earlier one of its key counts as another key" \
  $'sizeof record.link) == 0)\n      return true;' $'sizeof record.link) == 0)\n      return false;'
mutant adj-left-links-order Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "the links a key leaves are published in link order, not in their table's" \
  'return a.hash != b.hash ? a.hash < b.hash : a.link < b.link;' 'return a.link < b.link;'
mutant adj-trace-link-remote Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "the trace names a kind-1 link by its last vertex, not its second" \
  '                          : link.secondVertex()};' \
  '                          : link.lastVertex().vertexIdentifier()};'
mutant adj-kept-link-stays Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "a key's link set, taken over for its new links, keeps a link no record names any more" \
  'newLinks.linkDel(s.link, s.setHash);' '(void)s;'
mutant adj-kept-metric-stays Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.cpp caught \
  "a key's entry set, taken over for its new entries, keeps a metric no record has any more" \
  'if (!metricFiled(segment, protoId, e->key().metric(), count))' 'if (false)'
mutant adj-list-iter-resume Pathkit/SegmentRoutingMappers/AdjSegmentList.h caught \
  "a link list iterator whose place changed steps to the next place, not past its entry" \
  $'                                       ? at_ + 1\n                                       : list_->upperBound(member_.key_);' \
  $'                                       ? at_ + 1\n                                       : at_ + 1;'
mutant adj-list-unspill-lost Pathkit/SegmentRoutingMappers/AdjSegmentList.cpp caught \
  "a link list shrinking back into its room leaves its members in the freed block" \
  'std::memcpy(static_cast<void*>(room_), block, size_ * sizeof(Member));' '(void)block;'
mutant adj-list-eq-value Pathkit/SegmentRoutingMappers/AdjSegmentList.cpp caught \
  "two link lists differing only in an entry's value are equal" \
  '|| i->value() != j->value())' ')'
mutant adj-entry-eq-metric Pathkit/SegmentRoutingMappers/AdjSegmentEntry.h caught \
  "two entries differing only in metric are equal" \
  'return x.isLocal_ == y.isLocal_ && x.metric_ == y.metric_ &&' 'return x.isLocal_ == y.isLocal_ &&'

# --- the PQ-index maps --------------------------------------------------------
mutant pq-algoset-hash-constant Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h caught \
  "a PQ index's algorithm entries are hashed with a wrong constant (another order)" \
  'kAlgoSetHashConstant = 608949734u;' 'kAlgoSetHashConstant = 608949735u;'

# -------------------------------------------------------------------------------

if [[ ${1:-} == --list ]]; then
  for i in "${!IDS[@]}"; do
    printf '%-32s %-7s %s: %s\n' "${IDS[$i]}" "${EXPECTS[$i]}" "${FILES[$i]}" "${DESCS[$i]}"
  done
  exit 0
fi

selected=()
if (($# == 0)); then
  selected=("${!IDS[@]}")
else
  for want in "$@"; do
    found=
    for i in "${!IDS[@]}"; do
      [[ ${IDS[$i]} == "$want" ]] && selected+=("$i") && found=1
    done
    [[ -n $found ]] || { echo "no mutant named $want" >&2; exit 2; }
  done
fi

# The copy: files changed in the working tree (tracked or new) are copied,
# files gone from it are removed; unchanged ones keep their times.
sync_tree() {
  mkdir -p "$ROOT"
  local listed
  listed=$(mktemp)
  (cd "$SOURCE" && git ls-files -co --exclude-standard | while read -r f; do
    [[ -f $f ]] || continue
    echo "$f"
    if ! cmp -s "$f" "$ROOT/$f"; then
      mkdir -p "$ROOT/$(dirname "$f")" && cp "$f" "$ROOT/$f"
    fi
  done) | sort >"$listed"
  (cd "$ROOT" && find . -type f -printf '%P\n' | sort | comm -13 "$listed" - | xargs -r rm -f)
  rm -f "$listed"
}
sync_tree

# With ccache, putting a file back and a second run over the same mutants
# (after the tests changed) recompile from the cache.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_DIR=${CCACHE_DIR:-$(dirname "$BUILD")/ccache}
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Tests are listed when CTest runs, not after linking: a mutant that breaks a
# program's start-up fails its tests instead of its build.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ \
  -DPATHKIT_BENCH=OFF -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST "${launcher[@]}" \
  >/dev/null || exit 2
build() {
  ninja -C "$BUILD" -j2 "${PROGRAMS[@]}" "${FUZZ_TARGETS[@]/#/fuzz_}" srmap srmap_json_check \
    >"$BUILD/mutant-build.log" 2>&1
}
# Every program runs even when an earlier one fails: the log shows all the
# tests that caught the mutant.
run_tests() {
  local failed=0
  for p in "${PROGRAMS[@]}"; do
    timeout "$TIMEOUT" "$BUILD/tests/$p" --gtest_brief=1 >>"$BUILD/mutant-test.log" 2>&1 || failed=1
  done
  for t in "${FUZZ_TARGETS[@]}"; do
    timeout "$TIMEOUT" "$BUILD/tests/fuzz/fuzz_$t" "$ROOT/tests/fuzz/corpus/$t" \
      >>"$BUILD/mutant-test.log" 2>&1 || failed=1
  done
  (cd "$BUILD" && timeout "$TIMEOUT" ctest -R '^srmap\.' -j2 --output-on-failure) \
    >>"$BUILD/mutant-test.log" 2>&1 || failed=1
  return $failed
}

# The clean build passes first, or no verdict means anything.
build || { echo "the unmutated tree does not build: $BUILD/mutant-build.log" >&2; exit 2; }
: >"$BUILD/mutant-test.log"
run_tests || { echo "the unmutated tree fails its tests: $BUILD/mutant-test.log" >&2; exit 2; }

backup=$(mktemp)
current=
restore() {
  if [[ -n $current ]]; then
    cat "$backup" >"$ROOT/$current"  # new mtime: the next build recompiles it
    current=
  fi
}
trap 'restore; rm -f "$backup"' EXIT
trap 'exit 130' INT TERM

caught=0 missed=0 unexpected=0 stale=0
for i in "${selected[@]}"; do
  id=${IDS[$i]} file=${FILES[$i]}
  cp "$ROOT/$file" "$backup"
  current=$file
  if ! python3 - "$ROOT/$file" "${ORIGS[$i]}" "${REPLS[$i]}" <<'EOF'; then
import sys
path, orig, repl = sys.argv[1:4]
text = open(path).read()
if text.count(orig) != 1:
    sys.exit(1)
open(path, "w").write(text.replace(orig, repl))
EOF
    current=
    echo "STALE    $id: snippet not found once in $file"
    stale=$((stale + 1))
    continue
  fi
  start=$SECONDS
  if ! build; then
    restore
    echo "NOBUILD  $id (see $BUILD/mutant-build.log)"
    stale=$((stale + 1))
    continue
  fi
  echo "=== $id" >>"$BUILD/mutant-test.log"
  if run_tests; then
    verdict=MISSED missed=$((missed + 1))
    [[ ${EXPECTS[$i]} == caught ]] && unexpected=$((unexpected + 1)) verdict="MISSED!"
  else
    verdict=CAUGHT caught=$((caught + 1))
  fi
  restore
  printf '%-8s %-32s %4ss  %s\n' "$verdict" "$id" $((SECONDS - start)) "${DESCS[$i]}"
done
restore
build >/dev/null 2>&1  # leave the tree built from the unmutated sources

echo "mutants: ${#selected[@]}, caught $caught, missed $missed" \
  "(unexpectedly $unexpected), stale or not building $stale"
((unexpected == 0 && stale == 0))
