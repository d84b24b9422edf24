; The sieve of Eratosthenes over a flag array of one byte per number (1 MB by default):
; byte loads and stores through pointers (indirect operands), and the count of the primes.
; Parameter block and result as in loop.asm.

FLAGS = 0x10000                         ; the flag array: 0 prime, 1 composite

        JMP     start
        .org    8
size:   .dword  1048576                 ; numbers 0 .. size - 1
        .org    24
result: .dword  0                       ; primes below size

start:  CLRB    [size], [FLAGS]
        ADD.U32 #FLAGS, [size], r16     ; r16: end of the array
        MOV.32  #2, r0                  ; r0: i
.outer: MUL.U32 r0, r0, r4              ; r4: j = i * i
        GE.U32  r4, [size], r8
        JNZ.8   .count, r8
        ADD.U32 r0, #FLAGS, r12         ; r12: pointer to flag i
        JNZ.8   .next, [[r12]]          ; i is composite: nothing to cross out
        ADD.U32 r4, #FLAGS, r12         ; r12: pointer to flag j
.cross: MOV.8   #1, [[r12]]
        ADD.U32 r12, r0, r12
        LT.U32  r12, r16, r8
        JNZ.8   .cross, r8
.next:  ADD.U32 r0, #1, r0
        JMP     .outer

.count: CLR.32  r20                     ; r20: primes
        CLR.32  r24                     ; r24: one flag's verdict (the upper bytes stay 0)
        MOV.32  #FLAGS + 2, r12
.each:  LNOT.8  [[r12]], r24
        ADD.U32 r20, r24, r20
        ADD.U32 r12, #1, r12
        LT.U32  r12, r16, r8
        JNZ.8   .each, r8
        MOV.32  r20, [result]
        WAIT
