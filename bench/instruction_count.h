// Instruction counts for the benchmarks, which are steadier than times on a busy machine: a
// benchmark runs itself again under callgrind, collecting only inside one function, and reads
// the inclusive count of that function and of the functions it calls.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct function_count {
    std::string name; // as callgrind names it, without its arguments
    int64_t instructions;
};

// Runs program with arguments under callgrind, collecting inside the functions whose names
// match pattern (callgrind's --toggle-collect), and returns every function's inclusive count.
// Empty when valgrind is not installed or the run fails; always empty on Windows.
inline std::vector<function_count> callgrind_counts(const char* program, const char* pattern,
                                                    const std::string& arguments) {
    std::vector<function_count> counts;
#ifndef _WIN32
    const std::string out = std::string(program) + ".callgrind";
    const std::string annotated = out + ".txt";
    const std::string run = "valgrind --tool=callgrind --callgrind-out-file='" + out +
                            "' --toggle-collect='" + pattern + "' '" + program + "' " + arguments +
                            " >/dev/null 2>&1 && callgrind_annotate --inclusive=yes '" + out +
                            "' >'" + annotated + "' 2>/dev/null";
    if (std::system(run.c_str()) == 0) {
        if (FILE* file = std::fopen(annotated.c_str(), "r")) {
            // Lines such as "260,641,181 (77.50%)  ???:model_step(model_state*) [program]".
            char line[4096];
            while (std::fgets(line, sizeof line, file)) {
                int64_t value = 0;
                const char* p = line;
                while (*p == ' ')
                    ++p;
                const char* digits = p;
                for (; (*p >= '0' && *p <= '9') || *p == ','; ++p)
                    if (*p != ',') value = value * 10 + (*p - '0');
                if (p == digits || std::strncmp(p, " (", 2) != 0) continue;
                const char* name = std::strchr(p, ':');
                if (!name) continue;
                // The name ends at its argument list: the first parenthesis that does not open
                // "(anonymous namespace)"; failing that, before the object's name.
                std::string full(name + 1, std::strcspn(name + 1, "\n"));
                size_t from = 0, paren;
                while ((paren = full.find('(', from)) != std::string::npos &&
                       full.compare(paren, 21, "(anonymous namespace)") == 0)
                    from = paren + 21;
                const size_t cut = paren != std::string::npos ? paren : full.find(" [");
                if (cut != std::string::npos) full.resize(cut);
                counts.push_back({full, value});
            }
            std::fclose(file);
        }
    }
    std::remove(out.c_str());
    std::remove(annotated.c_str());
#else
    (void)program;
    (void)pattern;
    (void)arguments;
#endif
    return counts;
}

// The sum of the counts of the functions whose names begin with prefix.
inline int64_t instructions_of(const std::vector<function_count>& counts, const char* prefix) {
    int64_t sum = 0;
    for (const function_count& c : counts)
        if (c.name.compare(0, std::strlen(prefix), prefix) == 0) sum += c.instructions;
    return sum;
}
