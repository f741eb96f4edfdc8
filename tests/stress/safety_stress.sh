#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Hammers quillmoor-make over a folder of 20 small pictures and checks, after every run, what the
# README's "Safety" section promises: every page is a whole version, the old or the new one; every
# .bak is a whole earlier version and changes only together with its page; a later complete run
# leaves every page new with its previous version as its .bak and no .qlm-* temporary.
#
# Three template sets give three versions of every page (1, 2, 3, of different sizes); a clean run
# with each into a reference folder records what each version's pages hold. Each trial starts from
# one of three states of the folder and runs towards the next version:
#   state 0: pictures only                    -> version 1
#   state 1: pages of version 1, no .bak      -> version 2
#   state 2: pages of version 2, .bak of 1    -> version 3
# A page that held version P with a .bak of version B may then hold P with the .bak still B, or
# the new version with the .bak B or P (B while a killed run left P under its temporary name,
# which the next run makes the .bak). A page or .bak that did not exist may be missing.
#
# Scenarios:
#   kills   the run is killed with SIGKILL after a random delay of up to a little more than a
#           typical run takes, mostly in its later part where the pages are put in place
#           (microseconds, by a small C helper); one to three killed runs in a row, each checked,
#           then a complete run.
#   cuts    the folder lies on an ext4 and on an xfs image (loop devices); the earlier versions are
#           synced, then during the run `xfs_io -x -c shutdown` stops the file system without
#           flushing its journal, as a power cut would, the run is killed, the file system is
#           unmounted and mounted again (journal replay), checked, and completed by a rerun.
#           Files written to the loop device before the cut survive it whether or not they were
#           flushed, so this finds missing ordering in the journal, not missing flushes on disks.
#   full    the folder lies on a tmpfs and on an ext4 image filled by a file of the right size
#           to levels from almost full to enough room; the run must succeed, or fail with exit
#           status 1 and a message, and leave only whole versions; after the space is freed a
#           rerun completes.
# A violation keeps a copy of the folder, its listing with each file's version and the run's
# messages under the --keep folder and makes the exit status 1.
#
# Not part of the test command: it takes minutes (short counts) to hours (long ones), and the
# cuts and full scenarios mount file systems, so they need root, losetup, mkfs.ext4, mkfs.xfs and
# xfs_io (xfsprogs); without them they are skipped. A C compiler (cc) builds the kill helper.
#
# Usage: tests/stress/safety_stress.sh [OPTION...]
#   --make PATH   quillmoor-make to test (default: build-rel/, build-release/ or build/ of the tree)
#   --kills N     killed-run trials (default 100)
#   --cuts N      power cuts, split over ext4 and xfs (default 20)
#   --levels N    fill levels per file system of the full scenario (default 11)
#   --only LIST   comma-separated scenarios to run: kills,cuts,full (default all)
#   --seed N      seed of the random delays (default: the process id)
#   --keep DIR    where violations are kept (default: a new qlm-stress-violations.* in TMPDIR)
# Examples:
#   tests/stress/safety_stress.sh --kills 50 --cuts 10 --levels 11            # a few minutes
#   nice -n 10 tests/stress/safety_stress.sh --kills 800 --cuts 150           # the long run
set -u -o pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
make_bin=""
kills=100
cuts=20
levels=11
only="kills,cuts,full"
seed=$$
keep=""
while [ $# -gt 0 ]; do
  case $1 in
    --make) make_bin=$2; shift 2 ;;
    --kills) kills=$2; shift 2 ;;
    --cuts) cuts=$2; shift 2 ;;
    --levels) levels=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -h|--help) sed -n '3,/^set -u/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option: $1 (see --help)" >&2; exit 64 ;;
  esac
done
if [ -z "$make_bin" ]; then
  for candidate in build-rel build-release build; do
    if [ -x "$root/$candidate/cli/quillmoor-make" ]; then
      make_bin=$root/$candidate/cli/quillmoor-make
      break
    fi
  done
fi
[ -n "$make_bin" ] && [ -x "$make_bin" ] || { echo "no quillmoor-make; give one with --make" >&2; exit 2; }
make_bin=$(cd "$(dirname "$make_bin")" && pwd)/$(basename "$make_bin")
command -v cc >/dev/null || { echo "cc is needed to build the kill helper" >&2; exit 2; }
RANDOM=$seed
wants() { case ",$only," in *",$1,"*) return 0 ;; esac; return 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qlm-stress.XXXXXX")
mounts=()
loops=()
cleanup() {
  local m l
  for m in "${mounts[@]}"; do
    mountpoint -q "$m" && { umount "$m" 2>/dev/null || umount -l "$m"; }
  done
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# The run reads and writes no settings of the user running this.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"

# The helper starts a command, waits the given microseconds, optionally shuts the file system of
# a mount point down without flushing its log (what `xfs_io -x -c shutdown` does), and kills the
# command with SIGKILL unless it ended already. It prints "exited STATUS US" when the command
# ended before the delay, else "interrupted STATUS US" (STATUS 137 when the kill ended it, another
# when the cut made it stop first), and the microseconds until the delay was over.
cat >"$work/spawn_kill.c" <<'EOF'
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static long long now_us(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

int main(int argc, char **argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: spawn_kill DELAY_US CUT_MOUNTPOINT|- COMMAND...\n");
    return 64;
  }
  long long delay = atoll(argv[1]);
  const char *cut = argv[2];
  sigset_t child_ended;
  sigemptyset(&child_ended);
  sigaddset(&child_ended, SIGCHLD);
  sigprocmask(SIG_BLOCK, &child_ended, NULL);
  long long start = now_us();
  pid_t child = fork();
  if (child == 0) {
    sigprocmask(SIG_UNBLOCK, &child_ended, NULL);
    dup2(2, 1);
    execv(argv[3], argv + 3);
    _exit(127);
  }
  /* Waits for the delay or the end of the command, whichever comes first. */
  int status = 0;
  pid_t ended = 0;
  for (;;) {
    ended = waitpid(child, &status, WNOHANG);
    long long left = delay - (now_us() - start);
    if (ended != 0 || left <= 0)
      break;
    struct timespec pause = {left / 1000000, (left % 1000000) * 1000};
    sigtimedwait(&child_ended, NULL, &pause);
  }
  long long ran = now_us() - start;
  if (strcmp(cut, "-") != 0) {
    pid_t io = fork();
    if (io == 0) {
      execlp("xfs_io", "xfs_io", "-x", "-c", "shutdown", cut, (char *)NULL);
      _exit(127);
    }
    int io_status = 0;
    waitpid(io, &io_status, 0);
    if (!WIFEXITED(io_status) || WEXITSTATUS(io_status) != 0) {
      fprintf(stderr, "xfs_io shutdown failed on %s\n", cut);
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return 3;
    }
  }
  if (ended == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  printf("%s %d %lld\n", ended == 0 ? "interrupted" : "exited", code, ran);
  return 0;
}
EOF
cc -O2 -o "$work/spawn_kill" "$work/spawn_kill.c" || { echo "cannot build the kill helper" >&2; exit 2; }
helper=$work/spawn_kill

# --- the pictures, the template versions and their reference pages -------------------------------
pics=$work/pictures
mkdir "$pics"
mapfile -t originals < <(cd "$root/demo" && ls -- *.jpg *.png *.gif | grep -v '^t_')
for i in $(seq -w 1 20); do
  original=${originals[$(( (10#$i - 1) % ${#originals[@]} ))]}
  cp "$root/demo/$original" "$pics/p${i}_$original"
  cp "$root/demo/t_$original" "$pics/t_p${i}_$original"
  text=$root/demo/${original%.*}.txt
  [ $(( 10#$i % 3 )) -ne 0 ] && [ -f "$text" ] && cp "$text" "$pics/p${i}_${original%.*}.txt"
done
cp "$root"/demo/title.txt "$root"/demo/description.txt "$root"/demo/keywords.txt "$pics/"

# Each version appends its own comment and padding, so versions differ in content and in size
# (version 2 is the longest, version 1 the shortest).
padding=(0 0 2600 900)
for v in 1 2 3; do
  mkdir -p "$work/tpl/v$v"
  cp "$root"/templates/*.html "$work/tpl/v$v/"
  for template in Pic.html MainHead.html; do
    {
      printf '<!-- stress version %d of %s -->\n' "$v" "$template"
      [ "${padding[$v]}" -eq 0 ] || printf '<!-- %s -->\n' "$(head -c "${padding[$v]}" /dev/zero | tr '\0' "$v")"
    } >>"$work/tpl/v$v/$template"
  done
done

die() { echo "stress setup: $*" >&2; exit 2; }
declare -A ref=()
for v in 1 2 3; do
  cp -a "$pics" "$work/ref$v"
  "$make_bin" --no-ask --templates "$work/tpl/v$v" "$work/ref$v" >"$work/ref$v.log" 2>&1 ||
    die "the reference run of version $v failed: $(cat "$work/ref$v.log")"
done
mapfile -t pages < <(cd "$work/ref1" && ls -- *.html)
[ "${#pages[@]}" -eq 21 ] || die "expected 20 picture pages and index.html, got ${#pages[@]}"
for v in 1 2 3; do
  while read -r hash file; do ref[$file:$v]=$hash; done < <(cd "$work/ref$v" && md5sum -- "${pages[@]}")
done
for page in "${pages[@]}"; do
  [ "${ref[$page:1]}" != "${ref[$page:2]}" ] && [ "${ref[$page:2]}" != "${ref[$page:3]}" ] &&
    [ "${ref[$page:1]}" != "${ref[$page:3]}" ] || die "$page is the same in two versions"
done
declare -A base_hash=()
while read -r hash file; do base_hash[$file]=$hash; done < <(cd "$pics" && md5sum -- *)

# The three starting states, made by complete runs and checked against the references.
states=$work/states
mkdir "$states"
cp -a "$pics" "$states/s0"
cp -a "$pics" "$states/s1"
"$make_bin" --no-ask --templates "$work/tpl/v1" "$states/s1" >/dev/null 2>&1 || die "state 1"
cp -a "$states/s1" "$states/s2"
"$make_bin" --no-ask --templates "$work/tpl/v2" "$states/s2" >/dev/null 2>&1 || die "state 2"
state_page=(- 1 2)
state_bak=(- - 1)

# --- checking a folder ------------------------------------------------------------------------------
violations=0
notes=0
between=0   # checks that found a page new while its .bak still lagged (a kill between two renames)
mixed=0     # checks that found old and new pages side by side
temporaries=0 # checks that found temporaries left by the run
kept_any=0

# version_of PAGE HASH: sets version to 1..3, "-" for no file, "?" for a content of no version.
version_of() {
  version="?"
  if [ -z "$2" ]; then version="-"; return; fi
  local v
  for v in 1 2 3; do
    if [ "${ref[$1:$v]}" = "$2" ]; then version=$v; return; fi
  done
}

# check DIR STATE PHASE: PHASE "partial" after a killed, cut or failed run, "complete" after a
# run that succeeded. Sets problems (empty when all holds).
check() {
  local dir=$1 state=$2 phase=$3
  local before=${state_page[$state]} bak_before=${state_bak[$state]} target=$((state + 1))
  local hash file page vpage vbak saw_old=0 saw_new=0
  declare -A have=()
  problems=""
  while read -r hash file; do have[$file]=$hash; done < <(cd "$dir" && find . -mindepth 1 -maxdepth 1 -type f -printf '%P\0' | xargs -0r md5sum --)
  while read -r file; do problems+="not a regular file: $file"$'\n'; done < <(cd "$dir" && find . -mindepth 1 -maxdepth 1 ! -type f -printf '%P\n')
  for file in "${!base_hash[@]}"; do
    [ "${have[$file]-}" = "${base_hash[$file]}" ] || problems+="$file is missing or changed"$'\n'
    unset "have[$file]"
  done
  for page in "${pages[@]}"; do
    version_of "$page" "${have[$page]-}"; vpage=$version
    version_of "$page" "${have[$page.bak]-}"; vbak=$version
    unset "have[$page]" "have[$page.bak]"
    if [ "$phase" = complete ]; then
      [ "$vpage" = "$target" ] || problems+="$page is version $vpage after a complete run to $target"$'\n'
      [ "$vbak" = "$before" ] || problems+="$page.bak is version $vbak after a complete run (page was $before)"$'\n'
    elif [ "$vpage" = "$before" ]; then
      saw_old=1
      [ "$vbak" = "$bak_before" ] || problems+="$page is still version $before but $page.bak is $vbak (was $bak_before)"$'\n'
    elif [ "$vpage" = "$target" ]; then
      saw_new=1
      if [ "$vbak" = "$bak_before" ] && [ "$bak_before" != "$before" ]; then
        between_now=1
      elif [ "$vbak" != "$before" ]; then
        problems+="$page is version $target but $page.bak is $vbak (may be $bak_before or $before)"$'\n'
      fi
    else
      problems+="$page is $vpage: neither the old version $before nor the new $target (size $(stat -c %s "$dir/$page" 2>/dev/null || echo none))"$'\n'
    fi
  done
  [ "$saw_old" -eq 1 ] && [ "$saw_new" -eq 1 ] && mixed_now=1
  for file in "${!have[@]}"; do
    if [ "$phase" = partial ] && [[ $file == .qlm-* ]]; then temporaries_now=1; continue; fi
    problems+="unexpected file after a $phase run: $file ($(stat -c %s "$dir/$file") bytes)"$'\n'
  done
}

# checked SCENARIO TRIAL DIR STATE PHASE LOG: checks and keeps the evidence of a violation.
checked() {
  local scenario=$1 trial=$2 dir=$3 state=$4 phase=$5 log=$6
  between_now=0
  mixed_now=0
  temporaries_now=0
  check "$dir" "$state" "$phase"
  between=$((between + between_now))
  mixed=$((mixed + mixed_now))
  temporaries=$((temporaries + temporaries_now))
  [ -z "$problems" ] && return 0
  violations=$((violations + 1))
  if [ "$kept_any" -eq 0 ]; then
    [ -n "$keep" ] || keep=$(mktemp -d "${TMPDIR:-/tmp}/qlm-stress-violations.XXXXXX")
    mkdir -p "$keep"
    kept_any=1
  fi
  local out="$keep/$scenario-$trial-$phase"
  mkdir -p "$out"
  cp -a "$dir" "$out/folder"
  cp "$log" "$out/run.log" 2>/dev/null
  {
    echo "scenario $scenario, trial $trial, from state $state towards version $((state + 1)), after a $phase run"
    echo "$problems"
    echo "versions found:"
    local page
    for page in "${pages[@]}"; do
      version_of "$page" "$( [ -f "$dir/$page" ] && md5sum <"$dir/$page" | cut -d' ' -f1)"
      local vp=$version
      version_of "$page" "$( [ -f "$dir/$page.bak" ] && md5sum <"$dir/$page.bak" | cut -d' ' -f1)"
      echo "  $page: page $vp, .bak $version"
    done
    echo "listing:"
    ls -la --time-style=full-iso "$dir"
  } >"$out/report.txt"
  echo "VIOLATION ($scenario $trial, $phase): $(head -n 1 <<<"$problems") (kept in $out)" >&2
}

note() {
  notes=$((notes + 1))
  echo "$*" >>"$work/notes"
}

random_below() { # a random number in [0, $1)
  local limit=$1
  [ "$limit" -gt 0 ] || { echo 0; return; }
  echo $(( ((RANDOM << 30) | (RANDOM << 15) | RANDOM) % limit ))
}

# run_make DIR VERSION: a complete run; sets rc.
run_make() {
  "$make_bin" --no-ask --templates "$work/tpl/v$2" "$1" >"$work/run.log" 2>&1
  rc=$?
}

# typical_run DIR STATE: the median of five complete runs from STATE, in microseconds.
typical_run() {
  local place=$1 state=$2 i result times=()
  for i in 1 2 3 4 5; do
    rm -rf "$place"
    cp -a "$states/s$state" "$place"
    result=$("$helper" 60000000 - "$make_bin" --no-ask --templates "$work/tpl/v$((state + 1))" "$place" 2>/dev/null)
    set -- $result
    [ "$1" = exited ] && [ "$2" -eq 0 ] || die "a timing run failed: $result"
    times+=("$3")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p
}

# kill_delay SPAN: a delay for a run that typically takes SPAN microseconds. The pages are put in
# place at the end of a run, after the pictures were measured and the new pages written, so two
# of three delays fall in its later part and one anywhere in it.
kill_delay() {
  local span=$1
  if [ $(random_below 3) -eq 0 ]; then
    random_below $(( span * 12 / 10 + 1 ))
  else
    echo $(( span * 4 / 10 + $(random_below $(( span * 6 / 10 + 1 ))) ))
  fi
}

# unmount DIR: unmounts, waiting a little for checks that still have their working folder there.
unmount() {
  local i
  for i in 1 2 3 4 5 6 7 8 9 10; do
    umount "$1" 2>/dev/null && return 0
    sleep 0.2
  done
  umount "$1"
}

started=$(date +%s)
summary=()

# --- kills ------------------------------------------------------------------------------------------
if wants kills && [ "$kills" -gt 0 ]; then
  folder=$work/kills
  declare -a kill_span=()
  for s in 0 1 2; do kill_span[$s]=$(typical_run "$folder" "$s"); done
  echo "kills: a whole run typically takes ${kill_span[0]}/${kill_span[1]}/${kill_span[2]} us from states 0/1/2"
  killed=0 finished=0 runs=0 before=$violations
  between=0 mixed=0 temporaries=0
  for ((trial = 1; trial <= kills; trial++)); do
    s=$((trial % 3))
    target=$((s + 1))
    rm -rf "$folder"
    cp -a "$states/s$s" "$folder"
    links=$(( $(random_below 5) < 3 ? 1 : $(random_below 2) + 2 ))
    for ((link = 1; link <= links; link++)); do
      delay=$(kill_delay "${kill_span[s]}")
      result=$("$helper" "$delay" - "$make_bin" --no-ask --templates "$work/tpl/v$target" "$folder" 2>"$work/run.log")
      runs=$((runs + 1))
      set -- $result
      if [ "$1" = interrupted ]; then
        killed=$((killed + 1))
        checked kills "$trial.$link" "$folder" "$s" partial "$work/run.log"
      else
        finished=$((finished + 1))
        if [ "$2" -ne 0 ]; then
          problems="a run that was not killed exited with $2"
          cp "$work/run.log" "$work/failed.log"
          echo "VIOLATION (kills $trial.$link): $problems: $(tail -n 2 "$work/failed.log")" >&2
          violations=$((violations + 1))
        fi
        checked kills "$trial.$link" "$folder" "$s" complete "$work/run.log"
      fi
    done
    run_make "$folder" "$target"
    if [ "$rc" -ne 0 ]; then
      echo "VIOLATION (kills $trial rerun): exit $rc: $(tail -n 2 "$work/run.log")" >&2
      violations=$((violations + 1))
    fi
    checked kills "$trial.rerun" "$folder" "$s" complete "$work/run.log"
    [ $((trial % 100)) -ne 0 ] || echo "kills: $trial trials, $((violations - before)) violations"
  done
  summary+=("kills: $kills trials, $runs runs: $killed killed during the run, $finished ended before the kill; $temporaries checks found temporaries, $mixed old and new pages side by side, $between a page new while its .bak lagged; $((violations - before)) violations")
fi

# --- power cuts ----------------------------------------------------------------------------------------
have_tools() {
  local tool
  for tool in "$@"; do command -v "$tool" >/dev/null || { echo "$tool"; return 1; }; done
}
if wants cuts && [ "$cuts" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    summary+=("cuts: skipped, mounting needs root")
  elif missing=$(have_tools losetup mkfs.ext4 mkfs.xfs xfs_io); [ -n "$missing" ]; then
    summary+=("cuts: skipped, $missing is not installed")
  else
    for fs in ext4 xfs; do
      [ "$fs" = ext4 ] && count=$(( (cuts + 1) / 2 )) || count=$(( cuts / 2 ))
      [ "$count" -gt 0 ] || continue
      image=$work/$fs.img
      mnt=$work/mnt-$fs
      mkdir "$mnt"
      if [ "$fs" = ext4 ]; then
        truncate -s 64M "$image"
        mkfs.ext4 -q -F "$image" || die "mkfs.ext4"
      else
        truncate -s 320M "$image"
        mkfs.xfs -q -f "$image" || die "mkfs.xfs"
      fi
      loop=$(losetup -f --show "$image") || die "no loop device"
      loops+=("$loop")
      mount "$loop" "$mnt" || die "cannot mount the $fs image"
      mounts+=("$mnt")
      folder=$mnt/g
      declare -a cut_span=()
      for s in 0 1 2; do cut_span[$s]=$(typical_run "$folder" "$s"); done
      echo "cuts on $fs: a whole run typically takes ${cut_span[0]}/${cut_span[1]}/${cut_span[2]} us from states 0/1/2"
      killed=0 stopped=0 finished=0 lost=0 before=$violations
      between=0 mixed=0 temporaries=0
      for ((trial = 1; trial <= count; trial++)); do
        s=$((trial % 3))
        target=$((s + 1))
        rm -rf "$folder"
        cp -a "$states/s$s" "$folder"
        sync -f "$folder"
        delay=$(kill_delay "${cut_span[s]}")
        result=$("$helper" "$delay" "$mnt" "$make_bin" --no-ask --templates "$work/tpl/v$target" "$folder" 2>"$work/run.log") ||
          die "the cut failed: $(cat "$work/run.log")"
        set -- $result
        unmount "$mnt" || die "cannot unmount $mnt after the cut"
        mount "$loop" "$mnt" || die "cannot mount the $fs image after the cut"
        if [ "$1" = interrupted ]; then
          killed=$((killed + 1))
          [ "$2" -eq 137 ] || stopped=$((stopped + 1))
        else
          finished=$((finished + 1))
          # A run that ended before the cut promised nothing about it, but say when its pages
          # did not survive.
          check "$folder" "$s" complete
          if [ -n "$problems" ]; then
            lost=$((lost + 1))
            note "cuts-$fs $trial: the run from state $s exited with $2 after $3 us, before the cut at $delay us; after the replay: $(head -n 1 <<<"$problems") ($(grep -c . <<<"$problems") such lines)"
          fi
        fi
        checked "cuts-$fs" "$trial" "$folder" "$s" partial "$work/run.log"
        run_make "$folder" "$target"
        if [ "$rc" -ne 0 ]; then
          echo "VIOLATION (cuts-$fs $trial rerun): exit $rc: $(tail -n 2 "$work/run.log")" >&2
          violations=$((violations + 1))
        fi
        checked "cuts-$fs" "$trial.rerun" "$folder" "$s" complete "$work/run.log"
      done
      summary+=("cuts on $fs: $count cuts: $killed during the run ($stopped of these runs stopped by themselves after the cut), $finished after it ended ($lost of these lost pages of the finished run); $temporaries checks found temporaries, $mixed old and new pages side by side, $between a page new while its .bak lagged; $((violations - before)) violations")
      unmount "$mnt"
    done
  fi
fi

# --- full disk ---------------------------------------------------------------------------------------------
if wants full && [ "$levels" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    summary+=("full: skipped, mounting needs root")
  elif missing=$(have_tools losetup mkfs.ext4 fallocate); [ -n "$missing" ]; then
    summary+=("full: skipped, $missing is not installed")
  else
    # Room for the new pages: version 3's pages, each rounded up to 4 KB, and as much again.
    need=0
    for page in "${pages[@]}"; do need=$(( need + ($(stat -c %s "$work/ref3/$page") + 4095) / 4096 * 4096 )); done
    need=$((need * 2))
    for fs in tmpfs ext4; do
      mnt=$work/full-$fs
      mkdir "$mnt"
      if [ "$fs" = tmpfs ]; then
        mount -t tmpfs -o size=16m tmpfs "$mnt" || die "cannot mount a tmpfs"
      else
        truncate -s 16M "$work/full.img"
        mkfs.ext4 -q -F -m 0 "$work/full.img" || die "mkfs.ext4"
        loop=$(losetup -f --show "$work/full.img") || die "no loop device"
        loops+=("$loop")
        mount "$loop" "$mnt" || die "cannot mount the ext4 image"
      fi
      mounts+=("$mnt")
      folder=$mnt/g
      failed=0 succeeded=0 leftovers=0 before=$violations
      between=0 mixed=0 temporaries=0
      levels_seen=""
      for ((level = 0; level < levels; level++)); do
        rm -rf "$folder" "$mnt/fill"
        cp -a "$states/s2" "$folder"
        sync -f "$folder"
        if [ "$levels" -gt 1 ]; then
          room=$(( 1024 + level * need / (levels - 1) ))
        else
          room=1024
        fi
        available=$(stat -f -c '%a * %S' "$mnt")
        available=$((available))
        [ "$available" -gt "$room" ] && fallocate -l $((available - room)) "$mnt/fill"
        sync -f "$folder"
        free=$(( $(stat -f -c '%a * %S' "$mnt") ))
        run_make "$folder" 3
        if [ "$rc" -eq 0 ]; then
          succeeded=$((succeeded + 1))
          checked "full-$fs" "$level" "$folder" 2 complete "$work/run.log"
        else
          failed=$((failed + 1))
          if [ "$rc" -ne 1 ] || ! grep -q . "$work/run.log"; then
            echo "VIOLATION (full-$fs $level): exit $rc with the message: $(cat "$work/run.log")" >&2
            violations=$((violations + 1))
          fi
          checked "full-$fs" "$level" "$folder" 2 partial "$work/run.log"
          if ls -A "$folder" | grep -q '^\.qlm-'; then
            leftovers=$((leftovers + 1))
            note "full-$fs $level: the failed run left $(ls -A "$folder" | grep -c '^\.qlm-') temporaries"
          fi
        fi
        levels_seen+=" $((free / 1024))K:$rc"
        [ "$level" -ne 0 ] || first_message=$(tail -n 1 "$work/run.log")
        rm -f "$mnt/fill"
        run_make "$folder" 3
        if [ "$rc" -ne 0 ]; then
          echo "VIOLATION (full-$fs $level rerun): exit $rc: $(tail -n 2 "$work/run.log")" >&2
          violations=$((violations + 1))
        fi
        checked "full-$fs" "$level.rerun" "$folder" 2 complete "$work/run.log"
      done
      summary+=("full on $fs: $levels levels (free space:exit status$levels_seen): $failed failed, $succeeded succeeded, $leftovers failed runs left temporaries; $((violations - before)) violations")
      summary+=("  message of the fullest level: $first_message")
      unmount "$mnt"
    done
  fi
fi

echo
printf '%s\n' "${summary[@]}"
[ ! -s "$work/notes" ] || { echo "notes (not promised, but worth knowing):"; head -n 20 "$work/notes"; }
echo "seed $seed, $(( $(date +%s) - started )) s, $violations violations, $notes notes"
if [ "$kept_any" -eq 1 ]; then
  echo "violations kept in $keep"
fi
[ "$violations" -eq 0 ]
