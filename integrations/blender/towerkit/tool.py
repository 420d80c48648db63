"""Finding, checking and running the towerkit program, and reading its console lines.

Nothing here imports bpy, so that the add-on's dealings with the program stay plain Python.
"""

import os
import shutil
import stat
import subprocess

# Every option the add-on may pass. A towerkit whose --help lacks one of them is too old for
# this add-on: it would warn about an unknown option and build something else than was asked.
OPTIONS_USED = (
    "--check", "--style", "--width", "--length", "--height", "--door", "--balcony", "--close",
    "--metres", "--seed", "--vary", "--city", "--roof", "--ridge", "--setback", "--band",
    "--units", "--collision", "--lod", "--markers", "--pivot",
)

# How long one run may take before it is given up, in seconds: a city of thousands of buildings
# takes a while, but a run that never ends must not hang Blender for ever.
RUN_TIMEOUT = 600


class ToolError(Exception):
    """A failure to tell the user as it is: the message is the whole report."""


def executable_name():
    return "towerkit.exe" if os.name == "nt" else "towerkit"


def bundled_candidates(addon_dir):
    """Where a towerkit that came with the add-on lies: in the add-on's own bin/ (the zip
    carries the tool and its kit there), or in the bin/ of the prefix the add-on was installed
    into (PREFIX/share/towerkit/blender/towerkit)."""
    name = executable_name()
    prefix = os.path.normpath(os.path.join(addon_dir, os.pardir, os.pardir, os.pardir, os.pardir))
    return [os.path.join(addon_dir, "bin", name), os.path.join(prefix, "bin", name)]


def find_tool(preferred, addon_dir):
    """The towerkit to run: the preferences' path when set, else the one beside the add-on,
    else the one on PATH; None when there is none."""
    if preferred:
        return preferred
    for candidate in bundled_candidates(addon_dir):
        if os.path.isfile(candidate):
            return candidate
    return shutil.which(executable_name())


def make_executable(path):
    """Blender's "Install add-on" unpacks a zip without its files' modes, so the tool the zip
    carries arrives without its execute bit: give it back."""
    if os.name == "nt" or os.access(path, os.X_OK):
        return
    mode = os.stat(path).st_mode
    os.chmod(path, mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)


def run(tool, args, cwd):
    """Runs towerkit with args in the folder cwd and returns (exit status, console lines).

    Standard input is closed, so that a command line the tool finds incomplete can never make
    it wait for answers; standard error joins standard output, in the order the tool wrote."""
    try:
        done = subprocess.run([tool] + list(args), cwd=cwd, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=RUN_TIMEOUT, check=False)
    except FileNotFoundError:
        raise ToolError("towerkit was not found at '%s': set its path in the preferences of the "
                        "towerkit add-on (Edit > Preferences > Add-ons)" % tool)
    except PermissionError:
        raise ToolError("towerkit at '%s' cannot be run (no permission to execute it)" % tool)
    except subprocess.TimeoutExpired:
        raise ToolError("towerkit did not finish within %d seconds and was stopped" % RUN_TIMEOUT)
    except OSError as error:
        raise ToolError("towerkit at '%s' cannot be run: %s" % (tool, error.strerror or error))
    text = done.stdout.decode("utf-8", errors="replace")
    return done.returncode, text.splitlines()


def parse_line(line):
    """A console line as (level, message): level is 'error', 'warning' or 'info' for the tool's
    own lines ("[towerkit-0.1] error : ..."), None for any other line, whose message is the line."""
    if line.startswith("[") and "] " in line:
        rest = line[line.index("] ") + 2:]
        for level in ("error", "warning", "info"):
            if rest.startswith(level + " : "):
                return level, rest[len(level) + 3:]
    return None, line


def missing_options(help_text):
    """The options of OPTIONS_USED that a --help text does not list."""
    return [option for option in OPTIONS_USED if option not in help_text]


_checked = {}  # path -> (modification time, size, problem or None), so --help runs once a build


def check_tool(tool, cwd):
    """Raises ToolError when tool is missing, cannot run, or is too old for this add-on."""
    if not tool:
        raise ToolError("towerkit was not found: it is neither beside the add-on nor on PATH. "
                        "Set its path in the preferences of the towerkit add-on "
                        "(Edit > Preferences > Add-ons)")
    if not os.path.isfile(tool):
        raise ToolError("towerkit was not found at '%s': set its path in the preferences of the "
                        "towerkit add-on (Edit > Preferences > Add-ons)" % tool)
    make_executable(tool)
    info = os.stat(tool)
    known = _checked.get(tool)
    if known is not None and known[:2] == (info.st_mtime, info.st_size):
        problem = known[2]
    else:
        status, lines = run(tool, ["--help"], cwd)
        missing = missing_options("\n".join(lines))
        problem = None
        if status != 0 or "towerkit" not in "\n".join(lines):
            problem = "'%s' is not towerkit, or not one that runs here (--help failed)" % tool
        elif missing:
            shown = ", ".join(missing[:4]) + (" and %d more" % (len(missing) - 4) if len(missing) > 4 else "")
            problem = ("towerkit at '%s' is too old for this add-on: it lacks the option%s %s. "
                       "Install a newer towerkit, or set the path of one in the add-on's "
                       "preferences" % (tool, "s" if len(missing) > 1 else "", shown))
        _checked[tool] = (info.st_mtime, info.st_size, problem)
    if problem:
        raise ToolError(problem)


def list_styles(tool, units, cwd):
    """The styles of the units folder, as towerkit -k lists them (its info lines " - NAME"),
    and the console lines of any other kind (errors, warnings)."""
    args = ["-k"] + (["--units", units] if units else [])
    status, lines = run(tool, args, cwd)
    styles = []
    others = []
    for line in lines:
        level, message = parse_line(line)
        # base holds the base units that size every style's cell; it is no style to build.
        if level == "info" and message.startswith(" - ") and message[3:].strip() != "base":
            styles.append(message[3:].strip())
        elif level in ("error", "warning"):
            others.append((level, message))
    if status != 0 and not others:
        others.append(("error", "towerkit -k ended with exit status %d" % status))
    return styles, others
